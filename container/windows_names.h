#pragma once
// What a file name must be for the patcher to install it on Windows: every
// part of the path a name Windows can hold. Refused: the device names (CON,
// PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, COM¹-COM³ and LPT¹-LPT³ in UTF-8
// names, with any extension: "aux.txt"), the
// characters < > : " | ? * \ and control characters, and a part ending in a
// dot or a space (Windows would drop them and write another file).

#include <cstdint>
#include <string>

// False, with `why` saying what is wrong with the name, when a part is not
// one Windows can hold. `name` is '/' separated.
bool CheckWindowsName(const std::string& name, std::string* why);

// The same rule for a name as a release carries it: narrow bytes in
// `codePage`, '\\' or '/' between the parts.
bool CheckWindowsPathName(const std::string& name, uint32_t codePage, std::string* why);
