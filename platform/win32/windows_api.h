#pragma once
// <windows.h> for the Win32 layer and the window program. Its macros DeleteFile
// and ReplaceFile would rename platform::DeleteFile and platform::ReplaceFile
// (to ...A) in every file that sees both headers, so they are dropped here.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef DeleteFile
#undef ReplaceFile
