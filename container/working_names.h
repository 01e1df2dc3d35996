#pragma once
// The working files of an entry lie beside its installed file, under names
// that no entry's files can have: the validation refuses entry names whose
// last part starts with ".temp_", so
//   sub/.temp_map.pkg         the rebuilt file (for an archive entry, the archive)
//   sub/.temp_.temp_note.txt  an archive entry's unpacked file
// never meet an installed file or another entry's working files (an entry
// "X" and an entry "X.zip" included).

#include <cstdint>
#include <string>

std::string TemporaryName(const std::string& entryName, uint32_t codePage);
std::string UnpackedName(const std::string& entryName, uint32_t codePage);
// Whether the name's last part is that of a working file.
bool IsWorkingName(const std::string& name, uint32_t codePage);
