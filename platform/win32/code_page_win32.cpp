#include "platform/files.h"
#include "platform/win32/windows_api.h"

namespace platform {

// The narrow functions take and give texts in this code page; in 932, 936,
// 949 and 950 a character's second byte may be a '\'.
uint32_t AnsiCodePage() {
  return GetACP();
}

}  // namespace platform
