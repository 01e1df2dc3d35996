#pragma once
// The patcher's engine inside the builder, for verification: no human and no
// window. The installation path is the scratch folder the check names; a
// file that is not what the release expects is never kept as it is (the
// answer is No); the diagnostic lines are the Linux patcher's, not the
// builder's, and go nowhere; the one result is kept.

#include <string>

#include "engine/patch_host.h"

class CVerifyHost : public CPatchHost {
 public:
  // `installPath`: the scratch folder in UTF-8, ending with a separator.
  explicit CVerifyHost(std::string installPath) : installPath_(std::move(installPath)) {}

  bool NamedInstallPath(CInstallPathLocation&) override { return false; }
  uint16_t SystemDefaultLanguage() override { return 0x0409; }
  bool ReadInstallPath(const CInstallPathLocation&, std::string& path) override {
    path = installPath_;
    return true;
  }
  std::string ChooseFolder(const char*) override { return std::string(); }
  bool AskYesNo(const char*, const char*) override { return false; }
  void Diagnostic(const std::string&) override {}
  void PostResult(const CPatchOutcome& outcome) override { outcome_ = outcome; }

  const CPatchOutcome& Outcome() const { return outcome_; }

 private:
  const std::string installPath_;
  CPatchOutcome outcome_;
};
