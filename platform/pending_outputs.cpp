#include "platform/pending_outputs.h"

#include <cstring>

namespace {
constexpr size_t kPathSize = 4096;
char g_pending[kPendingOutputs][kPathSize];
}  // namespace

int AddPendingOutput(const std::string& path) {
  for (int i = 0; i < kPendingOutputs; ++i) {
    if (g_pending[i][0] != '\0') continue;
    const size_t length = path.size() < kPathSize - 1 ? path.size() : kPathSize - 1;
    std::memcpy(g_pending[i], path.data(), length);
    g_pending[i][length] = '\0';
    return i;
  }
  return -1;
}

void RemovePendingOutput(int slot) {
  if (slot >= 0 && slot < kPendingOutputs) g_pending[slot][0] = '\0';
}

const char* PendingOutput(int slot) {
  return g_pending[slot];
}
