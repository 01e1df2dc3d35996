#include "platform/files.h"

namespace platform {

// Linux paths are UTF-8 bytes: no byte of a multi-byte character is '/' or '\'.
uint32_t AnsiCodePage() {
  return 65001;
}

}  // namespace platform
