#pragma once
// A studio's icon for the program, as an icon file (.ico) gives it, and the
// icon group resource (RT_GROUP_ICON) that names its images as icon
// resources (RT_ICON) of the program. Read through the bounds-checked
// cursor; each image is a bitmap (BITMAPINFOHEADER first) or a PNG.

#include <cstdint>
#include <string>
#include <vector>

struct CIconImage {
  uint8_t width = 0;  // 0: 256 pixels
  uint8_t height = 0;
  uint8_t colours = 0;
  uint16_t planes = 0;
  uint16_t bitsPerPixel = 0;
  std::vector<uint8_t> bytes;
};

// The images of the icon file `data`; false, with `why` naming `path` and
// what is wrong, for anything but an icon file of one image or more.
bool ReadIconFile(const std::string& path, const uint8_t* data, uint32_t size,
                  std::vector<CIconImage>& images, std::string* why);

// The group resource naming `images` as the icon resources `ids`.
std::vector<uint8_t> IconGroupBytes(const std::vector<CIconImage>& images,
                                    const std::vector<uint16_t>& ids);
// The icon resources a group resource names; false for a damaged one.
bool IconGroupIds(const uint8_t* data, uint32_t size, std::vector<uint16_t>& ids);
