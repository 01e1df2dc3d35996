#include "platform/pending_outputs.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>

#include "platform/files.h"

namespace {
struct CPending {
  std::string path;
  bool folder;
};

std::mutex g_lock;
std::map<int, CPending> g_pending;
int g_next = 0;

// A folder whose files are still being made is emptied again until it goes.
void RemoveFolder(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::u8path(path);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    if (!std::filesystem::exists(folder, error)) return;
  }
}
}  // namespace

int AddPendingOutput(const std::function<bool(std::string& made)>& make, bool folder) {
  std::lock_guard<std::mutex> hold(g_lock);
  std::string made;
  if (!make(made)) return -1;
  g_pending[g_next] = CPending{made, folder};
  return g_next++;
}

void RemovePendingOutput(int id) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_pending.erase(id);
}

void RemoveAllPendingOutputs() {
  // Never released: the process ends while this holds it.
  g_lock.lock();
  for (const auto& entry : g_pending) {
    if (entry.second.folder)
      RemoveFolder(entry.second.path);
    else
      platform::DeleteFile(entry.second.path);
  }
  g_pending.clear();
}
