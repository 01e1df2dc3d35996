#pragma once
// Stands in for the human and the window in the test suites: the installation
// path setting, the folder chooser, the answers to the question, and the
// posted result are scripted here and recorded.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

struct CTestUser {
  uint16_t language = 0x0409;
  bool hasSetting = false;
  std::string setting;       // the stored installation path
  std::string chosenFolder;  // what the folder chooser gives; empty: cancel
  std::deque<bool> answers;  // Yes/No, in order; none left: No

  std::vector<std::string> settingKeys;   // key + "|" + value name asked for
  std::vector<std::string> folderTitles;  // titles of the folder choosers shown
  std::vector<std::string> questionCaptions;
  std::vector<uintptr_t> results;  // posted result wParams
};

// Resets the stand-in to its defaults and returns it.
CTestUser& ResetTestUser();
CTestUser& TestUser();
