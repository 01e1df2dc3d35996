#pragma once
// The files of a game folder and their sizes, and the paths the builder
// compares, for the builder. Every path here is UTF-8, '/' between folders.
// The walk and its messages are here (folder_listing.cpp); the system calls
// under them in folder_listing_os.h.

#include <cstdint>
#include <functional>
#include <string>

struct CListingRules {
  // A symbolic link (on Windows, any reparse point) is refused, naming it,
  // unless links are followed; one leading outside the listed folder, or back
  // into a folder of its own path, is refused either way.
  bool followLinks = false;
  // Whether a relative path (a file, a folder with all below it, a link) is
  // left out of the walk; when empty, nothing is.
  std::function<bool(const std::string& relative)> leaveOut;
};

// Hears each path a walk finds below a game folder: every regular file, and
// every folder (empty ones too) before what it holds. False stops the walk,
// with `why`.
using CFoundPath = std::function<bool(const std::string& relative, bool folder, std::string* why)>;

// Walks `folder`, each folder's entries in the order that brings the files'
// relative paths sorted byte by byte, so a listing of any length can be taken
// one path at a time (the folders come in the order of the walk). False, with
// `why` naming the path, for a missing or unreadable folder, a special file,
// or a link the rules refuse.
bool WalkFolder(const std::string& folder, const CListingRules& rules, const CFoundPath& found,
                std::string* why);
// The size of a file; false, with `why`.
bool SizeOfFile(const std::string& path, uint64_t& size, std::string* why);

enum class PathKind {
  kMissing,
  kFile,
  kFolder,
  kOther,  // a device, a pipe, a socket
};
// What a path names, links followed.
PathKind KindOfPath(const std::string& path);
// Whether the path itself is a symbolic link (on Windows, a reparse point).
bool IsSymbolicLink(const std::string& path);

// One spelling shared by every path of one file or folder: absolute, links
// resolved, '/' between folders, on Windows letter case aside. A path that
// does not exist yet gets its folder's key and its own name. False, with
// `why`, when not even its folder exists.
bool PathKey(const std::string& path, std::string& key, std::string* why);
// Whether the key `inner` names `outer` or something below it.
bool KeyIsWithin(const std::string& inner, const std::string& outer);
