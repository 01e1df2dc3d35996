#pragma once
// The window program's registry value, dialogs, posted message and own
// settings (platform/win32 only): what its host (app/window_host.h) answers
// the engine with. The Linux patcher's host answers from the environment and
// the terminal instead. Every text here is UTF-8; the calls are the wide ones.

#include <cstdint>
#include <string>

namespace platform {

// The main window, as the dialogs' owner and the message's target.
using WindowHandle = void*;

// The system's default language identifier (GetSystemDefaultLangID).
uint16_t GetSystemDefaultLanguage();

// The machine's settings (HKEY_LOCAL_MACHINE) or the user's (HKEY_CURRENT_USER).
enum class SettingsRoot { kMachine, kUser };

// Reads a text value of the settings, read only, in the registry view of
// this 32-bit program (WOW6432Node on 64-bit Windows). False when the key or
// value is absent, not text, or too long.
bool ReadSetting(SettingsRoot root, const char* key, const char* valueName, std::string& value);

// The program's own data resource `id` (RT_RCDATA), valid for the whole
// process; false when it carries none.
bool FindProgramData(uint16_t id, const uint8_t*& data, uint32_t& size);

// Shows the folder chooser titled `title`. Returns the chosen file-system path,
// or an empty text when the user cancelled.
std::string BrowseForFolder(WindowHandle owner, const char* title);

// Asks a Yes/No question (Yes is the default button). True only for Yes.
bool AskYesNo(WindowHandle owner, const char* text, const char* caption);

// Posts a message to the window (never sends).
void PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam);

}  // namespace platform
