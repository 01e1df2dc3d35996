#include "tests/support/temp_folder.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

CTempFolder::CTempFolder() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  fs::path base = fs::temp_directory_path();
  for (;;) {
    fs::path candidate =
        base / ("qelpatch-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.string();
      path_ += static_cast<char>(fs::path::preferred_separator);
      return;
    }
  }
}

CTempFolder::~CTempFolder() {
  std::error_code error;
  fs::remove_all(path_, error);
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  fs::path parent = fs::path(path).parent_path();
  if (!parent.empty()) fs::create_directories(parent);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void WriteWholeFile(const std::string& path, const std::string& text) {
  WriteWholeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

bool PathExists(const std::string& path) {
  std::error_code error;
  return fs::exists(path, error);
}

std::vector<std::string> ListFiles(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::recursive_directory_iterator(folder)) {
    if (item.is_regular_file()) names.push_back(fs::relative(item.path(), folder).generic_string());
  }
  std::sort(names.begin(), names.end());
  return names;
}
