#pragma once
// The files of a game folder and their sizes, for the builder. Every path
// here is UTF-8, '/' between folders. The walk and its messages are here
// (folder_listing.cpp); the system calls under them in folder_listing_os.h.

#include <cstdint>
#include <string>
#include <vector>

// Every regular file below `folder`, relative and unsorted (links followed).
// False, with `why`, for a missing or unreadable folder or a special file.
bool ListFilesBelow(const std::string& folder, std::vector<std::string>& names, std::string* why);
// The size of a file; false, with `why`.
bool SizeOfFile(const std::string& path, uint64_t& size, std::string* why);
