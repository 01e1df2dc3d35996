// The process entry: the window thread. It creates the main window, starts
// the worker and runs the message loop.
#include "app/exit_code.h"
#include "app/qel_client_startup.h"

namespace {
int RunPatcher(HINSTANCE instance) {
  CQelClientStartup& app = CQelClientStartup::GetInstance();
  app.instance = instance;
  app.LoadBackground();
  if (!app.CreateMainWindow()) return kExitCannotStart;
  ShowWindow(app.mainWindow, SW_SHOW);
  UpdateWindow(app.mainWindow);
  app.host.window = app.mainWindow;
  if (!app.worker.Start()) return kExitCannotStart;

  MSG message = {};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // The worker thread is never told to stop and may still be using the
  // application object: end the process here, which stops the worker before
  // anything is torn down, instead of returning into the runtime's exit.
  ExitProcess(static_cast<UINT>(RunPatcher(instance)));
}
