#pragma once
// A registry value as a studio names the one its game's installer writes the
// installation path to: its full path, "HKLM\" or "HKCU\" (or the long
// names HKEY_LOCAL_MACHINE\ and HKEY_CURRENT_USER\), the key, and last the
// value's name, as `reg query` takes them apart.

#include <string>

#include "engine/install_dir.h"

// False, with `why`, for a text that is not such a path.
bool ParseRegistryValue(const std::string& text, CInstallPathLocation& location, std::string* why);
// The path in its short form: "HKLM\SOFTWARE\Studio\Game\InstallPath".
std::string RegistryValueText(const CInstallPathLocation& location);
