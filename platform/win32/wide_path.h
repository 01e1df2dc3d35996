#pragma once
// Narrow texts and the UTF-16 of the Windows calls, paths made long ("\\?\",
// so that a game folder past MAX_PATH is still reached), and error texts.
// Shared by the patcher's file layer, whose paths are in the ANSI code page
// (CP_ACP), and the builder's calls, whose paths are UTF-8 (CP_UTF8): each
// says which when it widens a path.

#include <string>

#include "platform/win32/windows_api.h"

std::wstring Widen(const std::string& text, UINT codePage);
std::string Utf8(const std::wstring& wide);
// The "\\?\" form of a path: absolute, '\' between folders and normalised
// first, since the system takes such a path as it stands. Device paths
// ("\\.\") and paths already in that form are left alone; a share
// (\\server\share) takes the "\\?\UNC\" form.
std::wstring LongPath(std::wstring path);
// The system's text for an error number, in UTF-8, without the line end.
std::string ErrorMessage(DWORD error);
