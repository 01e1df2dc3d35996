// The end-to-end scripts' hands and eyes inside Wine, where xdotool cannot
// see: reads the text of a dialog box, moves it, and holds files open the way
// another program (a virus scanner, the game's launcher) would. Captions and
// texts are UTF-8, found and read with the wide calls.
//
//   qelpatch_e2e_probe box CAPTION          prints the box's text
//   qelpatch_e2e_probe move CAPTION X Y     moves the box to (X, Y)
//   qelpatch_e2e_probe hold MS FILE...      holds the files for MS milliseconds
//   qelpatch_e2e_probe resources EXE        lists the program's resources, one
//                                           "type id language size" a line
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"
// After <windows.h>, which it needs.
#include <shellapi.h>

namespace {
// The command line's argument `index`, as the system has it.
std::wstring WideArgument(int index) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::wstring argument = arguments && index < count ? arguments[index] : L"";
  LocalFree(arguments);
  return argument;
}

HWND FindBox(int captionArgument) {
  return FindWindowW(L"#32770", WideArgument(captionArgument).c_str());
}

// The box's message is its static control with text (an icon's has none).
BOOL CALLBACK TakeStaticText(HWND child, LPARAM out) {
  char name[16] = {};
  wchar_t buffer[1024] = {};
  GetClassNameA(child, name, sizeof(name));
  if (lstrcmpiA(name, "Static") == 0 &&
      SendMessageW(child, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer)) > 0) {
    char utf8[4096] = {};
    WideCharToMultiByte(CP_UTF8, 0, buffer, -1, utf8, sizeof(utf8), nullptr, nullptr);
    *reinterpret_cast<std::string*>(out) = utf8;
  }
  return TRUE;
}

int PrintBoxText(int captionArgument) {
  HWND box = FindBox(captionArgument);
  if (box == nullptr) return 1;
  std::string text;
  EnumChildWindows(box, TakeStaticText, reinterpret_cast<LPARAM>(&text));
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

int MoveBox(int captionArgument, int x, int y) {
  HWND box = FindBox(captionArgument);
  if (box == nullptr) return 1;
  return SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) ? 0 : 1;
}

// Reading stays allowed; writing, deleting and renaming over them do not.
int HoldFiles(DWORD milliseconds, char** paths, int count) {
  std::vector<HANDLE> held;
  for (int i = 0; i < count; ++i) {
    HANDLE file = CreateFileA(paths[i], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      std::fprintf(stderr, "cannot hold %s\n", paths[i]);
      return 1;
    }
    held.push_back(file);
  }
  std::printf("holding %d\n", count);
  std::fflush(stdout);
  Sleep(milliseconds);
  for (HANDLE file : held) CloseHandle(file);
  return 0;
}
std::string ResourceName(LPCSTR name) {
  if (IS_INTRESOURCE(name)) return std::to_string(reinterpret_cast<uintptr_t>(name));
  return name;
}

BOOL CALLBACK PrintLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language, LONG_PTR) {
  HRSRC found = FindResourceExA(module, type, name, language);
  std::printf("%s %s %u %lu\n", ResourceName(type).c_str(), ResourceName(name).c_str(), language,
              found ? SizeofResource(module, found) : 0ul);
  return TRUE;
}

BOOL CALLBACK ListNames(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR) {
  EnumResourceLanguagesA(module, type, name, PrintLanguage, 0);
  return TRUE;
}

BOOL CALLBACK ListTypes(HMODULE module, LPSTR type, LONG_PTR) {
  EnumResourceNamesA(module, type, ListNames, 0);
  return TRUE;
}

int ListResources(const char* path) {
  HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return 1;
  EnumResourceTypesA(module, ListTypes, 0);
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "box" && argc == 3) return PrintBoxText(2);
  if (command == "move" && argc == 5) return MoveBox(2, std::atoi(argv[3]), std::atoi(argv[4]));
  if (command == "resources" && argc == 3) return ListResources(argv[2]);
  if (command == "hold" && argc >= 4)
    return HoldFiles(static_cast<DWORD>(std::atoi(argv[2])), argv + 3, argc - 3);
  std::fprintf(stderr,
               "usage: qelpatch_e2e_probe box CAPTION | move CAPTION X Y | hold MS FILE... | "
               "resources EXE\n");
  return 2;
}
