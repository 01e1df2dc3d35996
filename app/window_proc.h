#pragma once
#include "platform/win32/windows_api.h"

// The main window's procedure.
LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
