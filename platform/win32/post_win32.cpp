#include "platform/user.h"
#include "platform/win32/windows_api.h"

namespace platform {

void PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam) {
  PostMessageA(static_cast<HWND>(window), message, static_cast<WPARAM>(wParam), 0);
}

}  // namespace platform
