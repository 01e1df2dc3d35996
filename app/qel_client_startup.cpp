#include "app/qel_client_startup.h"

#include "app/window_proc.h"
#include "engine/carried_release.h"
#include "platform/user.h"
#include "platform/win32/wide_path.h"
#include "resources/resource_ids.h"

namespace {
// The class, and the window's title unless the studio's program names one.
const wchar_t kWindowClass[] = L"Qel_ManualPatch";
constexpr int kLeft = 100;
constexpr int kTop = 100;
constexpr int kQuitWidth = 18;
constexpr int kQuitHeight = 16;

// The settings the program carries; QelPatch's own when it carries none (or
// none it can read).
CProgramSettings CarriedSettings() {
  CProgramSettings settings;
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  if (platform::FindProgramData(IDR_PROGRAM_SETTINGS, data, size))
    ReadProgramSettings(data, size, settings, nullptr);
  return settings;
}
}  // namespace

CQelClientStartup::CQelClientStartup()
    : settings(CarriedSettings()), host(settings), worker(host, CarriedRelease()) {}

CQelClientStartup::~CQelClientStartup() {
  if (background != nullptr) DeleteObject(background);
}

CQelClientStartup& CQelClientStartup::GetInstance() {
  static CQelClientStartup instance;
  return instance;
}

void CQelClientStartup::LoadBackground() {
  if (background != nullptr) return;
  background = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_BACKGROUND));
  memoryDC = nullptr;
  previousBitmap = nullptr;
}

bool CQelClientStartup::CreateMainWindow() {
  // A failed registration shows up as a failed window creation. The window
  // is a wide one, so that a studio's title keeps every character.
  WNDCLASSW windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WndProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_QELPATCH));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassW(&windowClass);

  const std::wstring title = settings.title.empty() ? kWindowClass : Widen(settings.title, CP_UTF8);
  mainWindow = CreateWindowExW(0, kWindowClass, title.c_str(),
                               WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN | WS_SYSMENU, kLeft, kTop,
                               width, height, nullptr, nullptr, instance, nullptr);
  if (mainWindow == nullptr) return false;

  // A missing Quit button is no reason to stop.
  HWND quit =
      CreateWindowExA(0, "BUTTON", "Quit", WS_CHILD | WS_VISIBLE | BS_FLAT | BS_BITMAP, width - 20,
                      2, kQuitWidth, kQuitHeight, mainWindow,
                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_QUIT)), instance, nullptr);
  if (quit != nullptr) {
    HBITMAP image = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_QUIT_BUTTON));
    SendMessageA(quit, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image));
  }
  return true;
}

void CQelClientStartup::MakeMemoryDC(HDC reference) {
  if (background == nullptr || memoryDC != nullptr) return;
  memoryDC = CreateCompatibleDC(reference);
  if (memoryDC != nullptr) previousBitmap = SelectObject(memoryDC, background);
}

void CQelClientStartup::ReleaseBackground() {
  if (memoryDC != nullptr) {
    SelectObject(memoryDC, previousBitmap);
    DeleteDC(memoryDC);
    memoryDC = nullptr;
    previousBitmap = nullptr;
  }
  if (background != nullptr) {
    DeleteObject(background);
    background = nullptr;
  }
}
