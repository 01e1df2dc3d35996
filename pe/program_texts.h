#pragma once
// What a program's properties show of it: the product name and version its
// version resource holds, as --show prints them.

#include <cstdint>
#include <string>

struct CProgramTexts {
  std::string productName;  // UTF-8
  std::string productVersion;
};

// The texts of the program `exe`; false, with `why`, when it has no version
// resource or that resource is damaged.
bool ReadProgramTexts(const uint8_t* exe, uint32_t size, CProgramTexts& texts, std::string* why);
