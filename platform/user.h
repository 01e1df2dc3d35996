#pragma once
// Talking to the user and to the window: the installation path setting, the
// folder chooser, the question, and the posted result. On Windows the
// registry and the system's dialogs; on Linux the environment and the
// terminal (the front end in cli/).

#include <cstdint>
#include <string>

namespace platform {

// An opaque window handle: the main window on Windows, the front end's result
// mailbox on POSIX. The worker only passes it on.
using WindowHandle = void*;

// The system's default language identifier (GetSystemDefaultLangID).
uint16_t GetSystemDefaultLanguage();

// Reads a text value of the machine-wide settings (HKEY_LOCAL_MACHINE), read
// only. False when the key or value is absent, not text, or too long.
bool ReadMachineSetting(const char* key, const char* valueName, std::string& value);

// Shows the folder chooser titled `title`. Returns the chosen file-system path,
// or an empty text when the user cancelled.
std::string BrowseForFolder(WindowHandle owner, const char* title);

// Asks a Yes/No question (Yes is the default button). True only for Yes.
bool AskYesNo(WindowHandle owner, const char* text, const char* caption);

// Posts the worker's result message to the window (never sends).
void PostResult(WindowHandle window, uint32_t message, uintptr_t wParam);

}  // namespace platform
