#pragma once
// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.

#include <cstdint>
#include <string>
#include <vector>

class CTempFolder {
 public:
  CTempFolder();
  ~CTempFolder();
  CTempFolder(const CTempFolder&) = delete;
  CTempFolder& operator=(const CTempFolder&) = delete;

  // The folder's path, ending with a separator.
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

std::vector<uint8_t> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteWholeFile(const std::string& path, const std::string& text);
bool PathExists(const std::string& path);
// Names of the files below the folder, relative and sorted ('/' separated).
std::vector<std::string> ListFiles(const std::string& folder);
