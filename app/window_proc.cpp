// The main window's procedure: repaints from the progress record on every
// timer tick, moves the window when dragged anywhere, closes on Quit, and
// shows the worker's result once.
#include "app/window_proc.h"

#include "app/exit_code.h"
#include "app/qel_client_startup.h"
#include "platform/win32/wide_path.h"
#include "resources/resource_ids.h"

namespace {
constexpr UINT_PTR kRepaintTimer = 1;
constexpr UINT kRepaintMilliseconds = 333;
// The box's caption, unless a studio's program names its own title.
const wchar_t kResultCaption[] = L"QelPatch";
const wchar_t kCompletedText[] = L" Patch is completed.";
const wchar_t kFailedText[] = L" Patch is failed.";

void Paint(HWND window) {
  CQelClientStartup& app = CQelClientStartup::GetInstance();
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (dc == nullptr) return;
  app.MakeMemoryDC(dc);
  app.PaintWindow(dc);
  EndPaint(window, &paint);
}

void Repaint(HWND window) {
  HDC dc = GetDC(window);
  CQelClientStartup::GetInstance().PaintWindow(dc);
  ReleaseDC(window, dc);
}

// wParam 1: completed, 0: failed. The box's own message loop may deliver a
// second result while it is open; only the first is shown.
void ShowResult(HWND window, WPARAM result) {
  CQelClientStartup& app = CQelClientStartup::GetInstance();
  if (app.resultShown) return;
  app.resultShown = true;
  // Set before the box opens, so the repaints behind it show completion.
  if (result == 1) app.completed = true;
  const std::wstring caption =
      app.settings.title.empty() ? kResultCaption : Widen(app.settings.title, CP_UTF8);
  MessageBoxW(window, result == 1 ? kCompletedText : kFailedText, caption.c_str(), MB_OK);
  DestroyWindow(window);
}
}  // namespace

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      SetTimer(window, kRepaintTimer, kRepaintMilliseconds, nullptr);
      return 0;
    case WM_DESTROY:
      KillTimer(window, kRepaintTimer);
      CQelClientStartup::GetInstance().ReleaseBackground();
      PostQuitMessage(ExitCodeOnClose(CQelClientStartup::GetInstance().completed));
      return 0;
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_TIMER:  // whatever the timer's id
      Repaint(window);
      return 0;
    case WM_NCHITTEST: {
      // The whole client area acts as a caption, so a drag moves the window.
      LRESULT hit = DefWindowProcW(window, message, wParam, lParam);
      return hit == HTCLIENT ? HTCAPTION : hit;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_QUIT) DestroyWindow(window);
      return 0;
    case WM_LBUTTONDOWN:
      SetCapture(window);
      return 0;
    case WM_LBUTTONUP:
      ReleaseCapture();
      return 0;
    case WM_MOUSEMOVE:
      return 0;
    case WM_PATCH_RESULT:
      if (wParam == 0 || wParam == 1) ShowResult(window, wParam);
      return DefWindowProcW(window, message, wParam, lParam);
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}
