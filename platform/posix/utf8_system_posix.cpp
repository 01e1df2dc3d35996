// The builder's system calls on POSIX (Linux).
#include <iconv.h>
#include <locale.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wctype.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/path_text.h"
#include "base/refusal.h"
#include "platform/utf8_system.h"

namespace fs = std::filesystem;

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

bool StandardErrorIsTerminal() {
  return isatty(STDERR_FILENO) != 0;
}

std::string ToolFolder() {
  char self[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return std::string();
  const std::string path(self, static_cast<size_t>(length));
  return path.substr(0, path.find_last_of('/') + 1);
}

bool ListFilesBelow(const std::string& folder, std::vector<std::string>& names, std::string* why) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) return Refuse(why, folder + ": no such folder");
  const fs::path root(folder);
  fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink, error);
  if (error) return Refuse(why, folder + ": cannot read the folder: " + error.message());
  for (const fs::recursive_directory_iterator end; it != end; it.increment(error)) {
    if (error) return Refuse(why, folder + ": cannot read the folder: " + error.message());
    const fs::path& path = it->path();
    if (it->is_directory(error)) continue;
    if (!it->is_regular_file(error))
      return Refuse(why, path.string() + ": not a regular file (or a broken link)");
    names.push_back(path.lexically_relative(root).generic_string());
  }
  if (error) return Refuse(why, folder + ": cannot read the folder: " + error.message());
  return true;
}

bool SizeOfFile(const std::string& path, uint64_t& size, std::string* why) {
  std::error_code error;
  size = fs::file_size(path, error);
  return !error || Refuse(why, "cannot read " + path + ": " + error.message());
}

uint32_t FoldLetterCase(uint32_t code) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (!utf8)
    return code < 0x80 ? static_cast<uint32_t>(std::tolower(static_cast<int>(code))) : code;
  return static_cast<uint32_t>(towlower_l(static_cast<wint_t>(code), utf8));
}

bool ConvertCodePage(uint32_t fromCodePage, uint32_t toCodePage, const std::string& text,
                     std::string& out) {
  const auto name = [](uint32_t codePage) {
    return codePage == kCodePageUtf8 ? std::string("UTF-8") : "CP" + std::to_string(codePage);
  };
  iconv_t converter = iconv_open(name(toCodePage).c_str(), name(fromCodePage).c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::vector<char> buffer(text.size() * 4 + 4);
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* outAt = buffer.data();
  size_t outLeft = buffer.size();
  const bool whole =
      iconv(converter, &in, &inLeft, &outAt, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
  iconv_close(converter);
  out.assign(buffer.data(), outAt);
  return whole;
}

void* AllocateLarge(size_t bytes, size_t alignment) {
  void* memory = std::aligned_alloc(alignment, (bytes + alignment - 1) / alignment * alignment);
  if (memory) madvise(memory, bytes, MADV_HUGEPAGE);
  return memory;
}

void FreeLarge(void* memory) {
  std::free(memory);
}
