#pragma once
// Texts between code pages, and letters as Windows compares file names, by
// the system's own tables.

#include <cstdint>
#include <string>

// A letter as Windows compares file names: letter case aside.
uint32_t FoldLetterCase(uint32_t code);
// Converts all of `text` between code pages (65001 is UTF-8); false when a
// character has no place in `toCodePage`.
bool ConvertCodePage(uint32_t fromCodePage, uint32_t toCodePage, const std::string& text,
                     std::string& out);
