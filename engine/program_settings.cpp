#include "engine/program_settings.h"

#include "base/byte_cursor.h"
#include "base/little_endian.h"
#include "base/refusal.h"

// The resource, little-endian, its fields in this order and nothing after:
//   u32  kMagic
//   u8   flags: kNamesInstallPath, kOwnBackground, kOwnIcon
//   u16  the title's bytes, then the title (UTF-8; none: QelPatch's own)
// and when it names the installation path:
//   u8   the root: 0 HKEY_LOCAL_MACHINE, 1 HKEY_CURRENT_USER
//   u16  the key's bytes, then the key
//   u16  the value name's bytes, then the name
namespace {
constexpr uint32_t kMagic = 0x31535051;  // "QPS1"
constexpr uint8_t kNamesInstallPath = 1;
constexpr uint8_t kOwnBackground = 2;
constexpr uint8_t kOwnIcon = 4;
constexpr uint8_t kKnownFlags = kNamesInstallPath | kOwnBackground | kOwnIcon;

void PutText(std::vector<uint8_t>& out, const std::string& text) {
  AppendU16(out, static_cast<uint16_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}

std::string TakeText(CByteCursor& cursor) {
  const uint16_t length = cursor.ReadU16();
  const uint8_t* text = cursor.Take(length);
  return text ? std::string(reinterpret_cast<const char*>(text), length) : std::string();
}
}  // namespace

std::vector<uint8_t> ProgramSettingsBytes(const CProgramSettings& settings) {
  std::vector<uint8_t> out;
  AppendU32(out, kMagic);
  out.push_back(static_cast<uint8_t>((settings.namesInstallPath ? kNamesInstallPath : 0) |
                                     (settings.ownBackground ? kOwnBackground : 0) |
                                     (settings.ownIcon ? kOwnIcon : 0)));
  PutText(out, settings.title);
  if (settings.namesInstallPath) {
    out.push_back(settings.installPath.root == CSettingsRoot::kCurrentUser ? 1 : 0);
    PutText(out, settings.installPath.key);
    PutText(out, settings.installPath.valueName);
  }
  return out;
}

bool ReadProgramSettings(const uint8_t* data, uint32_t size, CProgramSettings& settings,
                         std::string* why) {
  CByteCursor cursor(data, size);
  CProgramSettings read;
  const bool magic = cursor.ReadU32() == kMagic;
  const uint8_t flags = cursor.ReadU8();
  read.namesInstallPath = (flags & kNamesInstallPath) != 0;
  read.ownBackground = (flags & kOwnBackground) != 0;
  read.ownIcon = (flags & kOwnIcon) != 0;
  read.title = TakeText(cursor);
  uint8_t root = 0;
  if (read.namesInstallPath) {
    root = cursor.ReadU8();
    read.installPath.root = root == 1 ? CSettingsRoot::kCurrentUser : CSettingsRoot::kLocalMachine;
    read.installPath.key = TakeText(cursor);
    read.installPath.valueName = TakeText(cursor);
  }
  if (!magic || cursor.Failed() || cursor.Remaining() != 0 || (flags & ~kKnownFlags) != 0 ||
      root > 1)
    return Refuse(why, "a damaged settings resource");
  settings = read;
  return true;
}
