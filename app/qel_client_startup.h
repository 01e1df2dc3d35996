#pragma once
// The application object: the main window, its background picture and the
// worker. One per process, reached through GetInstance from the window thread.

#include <string>
#include <vector>

#include "app/window_host.h"
#include "engine/patch_worker.h"
#include "platform/win32/windows_api.h"

class CQelClientStartup {
 public:
  CQelClientStartup();
  virtual ~CQelClientStartup();
  CQelClientStartup(const CQelClientStartup&) = delete;
  CQelClientStartup& operator=(const CQelClientStartup&) = delete;

  // The process's one instance, made on first use.
  static CQelClientStartup& GetInstance();

  // Loads bitmap 130 unless it is already held.
  void LoadBackground();
  // Registers the window class and creates the main window and its Quit
  // button. False when the main window cannot be created.
  bool CreateMainWindow();
  // Makes the memory device context that holds the background, compatible
  // with `reference`, when there is a background and no context yet.
  void MakeMemoryDC(HDC reference);
  // Puts the previous bitmap back, deletes the memory context and the
  // background bitmap.
  void ReleaseBackground();

  // Draws the whole client area: background, bar, percentage, status line.
  void PaintWindow(HDC dc);
  // The lines PaintWindow shows of a status text, in the font selected into
  // `dc` (status_lines.h).
  std::vector<std::string> StatusLines(HDC dc, const std::string& text) const;
  // Copies `rect` from the memory context, `sourceOffsetY` rows further down,
  // or fills it with `fallback` when there is no background.
  void DrawBarRect(HDC dc, const RECT& rect, int sourceOffsetY, COLORREF fallback);

  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
  int width = 366;
  int height = 213;
  HBITMAP background = nullptr;
  HDC memoryDC = nullptr;
  HGDIOBJ previousBitmap = nullptr;
  // Set when the success result arrives; the painter then shows completion.
  bool completed = false;
  // Set when a result box has been shown; a result posted again is ignored.
  bool resultShown = false;
  // What the builder stamped in: a studio's title and registry value.
  const CProgramSettings settings;
  // The worker's host, declared before it: the worker holds it.
  CWindowHost host;
  CPatchWorker worker;
};
