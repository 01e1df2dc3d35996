// The two dialogs the worker shows, owned by the main window: the folder
// chooser and the Yes/No question.
#include <shlobj.h>

#include "platform/user.h"
#include "platform/win32/windows_api.h"

namespace platform {

std::string BrowseForFolder(WindowHandle owner, const char* title) {
  // The shell's browser needs COM on the calling thread (the worker).
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  BROWSEINFOA info = {};
  info.hwndOwner = static_cast<HWND>(owner);
  info.lpszTitle = title;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  std::string chosen;
  if (PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info)) {
    char path[MAX_PATH] = {};
    if (SHGetPathFromIDListA(item, path)) chosen = path;
    CoTaskMemFree(item);
  }

  if (SUCCEEDED(com)) CoUninitialize();
  return chosen;
}

bool AskYesNo(WindowHandle owner, const char* text, const char* caption) {
  return MessageBoxA(static_cast<HWND>(owner), text, caption, MB_YESNO | MB_DEFBUTTON1) == IDYES;
}

}  // namespace platform
