// The installation path setting, read from the real (Wine) registry.
#include <gtest/gtest.h>

#include <string>

#include "platform/user.h"
#include "platform/win32/windows_api.h"

namespace {
const char kKey[] = "SOFTWARE\\QelPatchTest";

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(key_);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
  }

  void Store(DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExA(key_, "Destination", 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
  }
  void StoreText(const std::string& text, DWORD type = REG_SZ) {
    Store(type, text.c_str(), static_cast<DWORD>(text.size() + 1));
  }
  bool Read(std::string& value) {
    return platform::ReadSetting(platform::SettingsRoot::kMachine, kKey, "Destination", value);
  }

  HKEY key_ = nullptr;
};

TEST_F(SettingsTest, ReadsAStoredText) {
  StoreText("D:\\Games\\Quelvane\\launcher.exe");
  std::string value;
  ASSERT_TRUE(Read(value));
  EXPECT_EQ(value, "D:\\Games\\Quelvane\\launcher.exe");
}

TEST_F(SettingsTest, ExpandsAnExpandableText) {
  StoreText("%SystemRoot%\\launcher.exe", REG_EXPAND_SZ);
  char root[MAX_PATH];
  GetEnvironmentVariableA("SystemRoot", root, sizeof(root));
  std::string value;
  ASSERT_TRUE(Read(value));
  EXPECT_EQ(value, std::string(root) + "\\launcher.exe");
}

TEST_F(SettingsTest, ATextOfUpTo1023CharactersFitsAndALongerOneIsAbsent) {
  std::string value;
  StoreText(std::string(1023, 'a'));
  EXPECT_TRUE(Read(value));
  EXPECT_EQ(value.size(), 1023u);
  StoreText(std::string(1024, 'a'));
  EXPECT_FALSE(Read(value));
}

TEST_F(SettingsTest, AValueThatIsNotTextIsAbsent) {
  DWORD number = 7;
  Store(REG_DWORD, &number, sizeof(number));
  std::string value;
  EXPECT_FALSE(Read(value));
  Store(REG_BINARY, "D:\\x\\", 6);
  EXPECT_FALSE(Read(value));
}

TEST_F(SettingsTest, ATextThatFillsTheBufferWithoutItsTerminatorIsAbsent) {
  std::string text(1024, 'a');
  Store(REG_SZ, text.data(), static_cast<DWORD>(text.size()));
  std::string value;
  EXPECT_FALSE(Read(value));
}

TEST_F(SettingsTest, AMissingKeyOrValueIsAbsentAndNothingIsCreated) {
  std::string value;
  EXPECT_FALSE(Read(value));
  EXPECT_FALSE(platform::ReadSetting(platform::SettingsRoot::kMachine,
                                     "SOFTWARE\\QelPatchTest\\Missing", "Destination", value));
  HKEY missing = nullptr;
  EXPECT_NE(
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QelPatchTest\\Missing", 0, KEY_READ, &missing),
      ERROR_SUCCESS);
}
}  // namespace
