#pragma once
// A studio's background for the window, as a BMP file gives it: 366 x 426
// pixels (the window's look in the upper half, the same with the bar's track
// filled in the lower), 24 bits per pixel, uncompressed (BI_RGB). Read
// through the bounds-checked cursor into the bitmap resource 130 holds: a
// BITMAPINFOHEADER and the rows bottom-up, as the stub's own.

#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t kBackgroundWidth = 366;
constexpr int32_t kBackgroundHeight = 426;

// The resource's bytes of the BMP file `data`; false, with `why` naming
// `path` and what is wrong, for any other file.
bool ReadBackgroundFile(const std::string& path, const uint8_t* data, uint32_t size,
                        std::vector<uint8_t>& resource, std::string* why);
