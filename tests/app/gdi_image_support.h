#pragma once
// Test helpers for reading what was painted: a 32-bit top-down DIB section
// selected into a memory device context, and the pixels of a bitmap.

#include <cstdint>
#include <vector>

#include "platform/win32/windows_api.h"

struct CRgb {
  uint8_t r, g, b;
  bool operator==(const CRgb& o) const { return r == o.r && g == o.g && b == o.b; }
  bool operator!=(const CRgb& o) const { return !(*this == o); }
  // Text is black; the artwork has nothing this dark inside the text boxes.
  bool Dark() const { return r < 64 && g < 64 && b < 64; }
};

class CPaintTarget {
 public:
  CPaintTarget(int width, int height);
  ~CPaintTarget();
  CPaintTarget(const CPaintTarget&) = delete;
  CPaintTarget& operator=(const CPaintTarget&) = delete;

  HDC Dc() const { return dc_; }
  CRgb Pixel(int x, int y) const;
  // True when any pixel of [left, right) x [top, bottom) is dark.
  bool AnyDark(const RECT& box) const;
  // The pixels as painted; GDI is flushed first.
  std::vector<uint32_t> Pixels() const;

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  uint32_t* bits_ = nullptr;
};

// The pixels of a bitmap, top row first.
class CBitmapPixels {
 public:
  explicit CBitmapPixels(HBITMAP bitmap);
  int Width() const { return width_; }
  int Height() const { return height_; }
  CRgb Pixel(int x, int y) const;

 private:
  int width_ = 0, height_ = 0;
  std::vector<uint32_t> pixels_;
};
