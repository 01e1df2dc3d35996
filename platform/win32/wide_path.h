#pragma once
// UTF-8 and the UTF-16 of the Windows calls, paths made long ("\\?\", so
// that a game folder past MAX_PATH is still read), and error texts.

#include <string>

#include "platform/win32/windows_api.h"

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
// The full path with "\\?\" in front and '\' between folders.
std::wstring LongPath(const std::string& utf8);
// The system's text for an error number, in UTF-8, without the line end.
std::string ErrorMessage(DWORD error);
