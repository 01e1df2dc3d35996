#pragma once
// What one run asks of the world around it. Each front end hands the worker
// its own host: the window program the registry and the system's dialogs,
// the Linux patcher the environment and the terminal, the builder's check
// its scratch folder, the tests their scripted answers. Several runs can
// live in one process, each with its host.
//
// Every text passed either way is UTF-8: paths, questions, status lines,
// reasons. A host that meets a system of narrow texts in another code page
// (the window program) converts at its own edge, in the wide forms, so that
// no character of a folder's name is lost.

#include <cstdint>
#include <string>

#include "engine/install_dir.h"

// How a run ended, told once: the status line's reason and, for whoever
// looks closer, what lies behind it.
struct CPatchOutcome {
  bool completed = false;
  std::string reason;  // empty after a completed run
  std::string detail;  // e.g. which part of the patch data is damaged
};

class CPatchHost {
 public:
  virtual ~CPatchHost() = default;

  // Where the program's own game stores its installation path, when the
  // program names it (a studio's program); false for QelPatch's own two
  // locations, which the system's default language chooses between.
  virtual bool NamedInstallPath(CInstallPathLocation& location) = 0;
  // The system's default language identifier.
  virtual uint16_t SystemDefaultLanguage() = 0;
  // The stored installation path (the game folder, or a file inside it) at
  // `location`; false when there is none.
  virtual bool ReadInstallPath(const CInstallPathLocation& location, std::string& path) = 0;
  // The folder chooser titled `title`: the chosen path without its final
  // separator, or an empty text for a cancel.
  virtual std::string ChooseFolder(const char* title) = 0;
  // A Yes/No question; true only for Yes.
  virtual bool AskYesNo(const char* text, const char* caption) = 0;
  // One diagnostic line ("To Compare File Start .."), without its line end.
  virtual void Diagnostic(const std::string& line) = 0;
  // The run's one result; called on the worker's thread, never twice.
  virtual void PostResult(const CPatchOutcome& outcome) = 0;
};
