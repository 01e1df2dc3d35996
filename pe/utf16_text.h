#pragma once
// UTF-8 to the UTF-16 of a version resource's texts and back, by the
// encoding's own rules: the builder runs on both systems and must write the
// same bytes.

#include <string>

// False for bytes that are not UTF-8.
bool ToUtf16(const std::string& utf8, std::u16string& wide);

// A unit that is no part of a whole character becomes U+FFFD.
std::string ToUtf8(const std::u16string& wide);
