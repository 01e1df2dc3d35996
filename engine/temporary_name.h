#pragma once
#include <string>

// The temporary file of an entry lies beside its file: ".temp_" goes in front
// of the name's last component (sub/.temp_map.pkg).
std::string TemporaryName(const std::string& entryName);
