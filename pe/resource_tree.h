#pragma once
// A program's resource tree written anew, as a section of its own: the
// stamper takes the stub's resources (CPeImage::ListResources), puts a
// studio's in the place of some and adds others, and the tree is laid out
// here. A resource kept from the stub still points at its bytes in the
// stub's own section; a new one's bytes follow the tree.

#include <cstdint>
#include <vector>

#include "pe/pe_image.h"

struct CResourceLeaf {
  CResourceKey type;
  CResourceKey name;
  CResourceKey language;
  // A kept resource: where the stub holds its bytes (an image address).
  uint32_t address = 0;
  uint32_t size = 0;
  uint32_t codePage = 0;
  // A new resource: its bytes.
  bool fresh = false;
  std::vector<uint8_t> bytes;
};

// The section of the tree at the image address `address`: its directories
// (named entries first, then numbered ones, each in ascending order, as the
// system looks them up), the data entries, the names, then the new bytes.
// `entries` gets, per leaf in the order given, the offset of its data entry
// in the section.
std::vector<uint8_t> WriteResourceTree(const std::vector<CResourceLeaf>& leaves, uint32_t address,
                                       std::vector<uint32_t>& entries);
