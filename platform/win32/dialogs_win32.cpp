// The two dialogs the worker shows, owned by the main window: the folder
// chooser and the Yes/No question, in their wide forms: a folder or a file
// named outside the ANSI code page keeps every character.
#include <shlobj.h>

#include "platform/user.h"
#include "platform/win32/wide_path.h"

namespace platform {

std::string BrowseForFolder(WindowHandle owner, const char* title) {
  // The shell's browser needs COM on the calling thread (the worker).
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  const std::wstring wideTitle = Widen(title, CP_UTF8);
  BROWSEINFOW info = {};
  info.hwndOwner = static_cast<HWND>(owner);
  info.lpszTitle = wideTitle.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  std::string chosen;
  if (PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info)) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(item, path)) chosen = Utf8(path);
    CoTaskMemFree(item);
  }

  if (SUCCEEDED(com)) CoUninitialize();
  return chosen;
}

bool AskYesNo(WindowHandle owner, const char* text, const char* caption) {
  return MessageBoxW(static_cast<HWND>(owner), Widen(text, CP_UTF8).c_str(),
                     Widen(caption, CP_UTF8).c_str(), MB_YESNO | MB_DEFBUTTON1) == IDYES;
}

}  // namespace platform
