#include "tests/app/gdi_image_support.h"

namespace {
CRgb FromBgrx(uint32_t v) {
  return CRgb{static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}
}  // namespace

CPaintTarget::CPaintTarget(int width, int height) : width_(width), height_(height) {
  BITMAPINFO info = TopDown32(width, height);
  void* bits = nullptr;
  dc_ = CreateCompatibleDC(nullptr);
  bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bits_ = static_cast<uint32_t*>(bits);
  previous_ = SelectObject(dc_, bitmap_);
}

CPaintTarget::~CPaintTarget() {
  SelectObject(dc_, previous_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

CRgb CPaintTarget::Pixel(int x, int y) const {
  GdiFlush();
  return FromBgrx(bits_[y * width_ + x]);
}

bool CPaintTarget::AnyDark(const RECT& box) const {
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x)
      if (Pixel(x, y).Dark()) return true;
  return false;
}

std::vector<uint32_t> CPaintTarget::Pixels() const {
  GdiFlush();
  return std::vector<uint32_t>(bits_, bits_ + width_ * height_);
}

CBitmapPixels::CBitmapPixels(HBITMAP bitmap) {
  BITMAP shape = {};
  GetObjectA(bitmap, sizeof(shape), &shape);
  width_ = shape.bmWidth;
  height_ = shape.bmHeight;
  pixels_.resize(static_cast<size_t>(width_) * height_);
  BITMAPINFO info = TopDown32(width_, height_);
  HDC dc = CreateCompatibleDC(nullptr);
  GetDIBits(dc, bitmap, 0, height_, pixels_.data(), &info, DIB_RGB_COLORS);
  DeleteDC(dc);
}

CRgb CBitmapPixels::Pixel(int x, int y) const {
  return FromBgrx(pixels_[y * width_ + x]);
}
