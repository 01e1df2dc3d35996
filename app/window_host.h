#pragma once
// The window program's host: the installation path from the registry (where
// the program's settings say, else QelPatch's own two locations), the
// shell's folder chooser and the question box owned by the main window, and
// the result posted to it as WM_PATCH_RESULT. Diagnostic lines go to
// standard output, which the window program has no console for.

#include "engine/patch_host.h"
#include "engine/program_settings.h"
#include "platform/win32/windows_api.h"

// The result message: wParam 1 completed, 0 failed; lParam 0.
constexpr UINT WM_PATCH_RESULT = WM_USER + 10;

class CWindowHost : public CPatchHost {
 public:
  // `settings` outlive the host.
  explicit CWindowHost(const CProgramSettings& settings) : settings_(settings) {}

  // The window that owns the dialogs and takes the result; set before the
  // worker starts.
  HWND window = nullptr;

  bool NamedInstallPath(CInstallPathLocation& location) override;
  uint16_t SystemDefaultLanguage() override;
  bool ReadInstallPath(const CInstallPathLocation& location, std::string& path) override;
  std::string ChooseFolder(const char* title) override;
  bool AskYesNo(const char* text, const char* caption) override;
  void Diagnostic(const std::string& line) override;
  void PostResult(const CPatchOutcome& outcome) override;

 private:
  const CProgramSettings& settings_;
};
