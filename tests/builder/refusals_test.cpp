// Every refusal of qelpatch-build in one table: a command line or an input it
// must not take, each refused with its exit code and a message naming the
// file, with nothing written: the work folder and both game folders stay as
// they were, an earlier output among them.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "base/little_endian.h"
#include "base/version.h"
#include "tests/builder/command_support.h"
#include "tests/builder/game_support.h"
#include "tests/support/pe_stub.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {
// old/ and new/, a small game with its program; work/ with earlier outputs,
// the stub, a folder and a link.
struct CScene {
  CScene() {
    const CPackageVersions package = MakePackageVersions(1, 50000);
    WriteWholeFile(root / "old/data/b.pkg", package.old);
    WriteWholeFile(root / "new/data/b.pkg", package.latest);
    WriteWholeFile(root / "old/readme.txt", TextOfSize(100, 1));
    WriteWholeFile(root / "new/readme.txt", TextOfSize(120, 2));
    for (const char* side : {"old", "new"})
      WriteWholeFile(root / (side + std::string("/Quelgame.exe")), TextOfSize(3000, 3));
    WriteWholeFile(root / "work/earlier.qpd", TextBytes("an earlier release"));
    WriteWholeFile(root / "work/earlier.exe", TextBytes("an earlier program"));
    WriteWholeFile(root / "work/stub.exe", MakeTestStub("QelPatch stub " QELPATCH_VERSION));
    fs::create_directory(root / "work/folder");
    fs::create_symlink("earlier.qpd", root / "work/link.qpd");
  }
  CTempFolder root;
};

// Everything below the folder: each path with its kind and bytes, or the
// target of a link.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> items;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string name = fs::relative(it->path(), folder).generic_string();
    if (it->is_symlink()) {
      items[name] = "link " + fs::read_symlink(it->path()).string();
      it.disable_recursion_pending();
    } else if (it->is_regular_file()) {
      const Bytes bytes = ReadWholeFile(it->path().string());
      items[name] = "file " + std::string(bytes.begin(), bytes.end());
    } else {
      items[name] = "folder";
    }
  }
  return items;
}

struct CRefusal {
  const char* what;
  std::function<void(const CTempFolder&)> spoil;  // null: the scene as it is
  std::vector<std::string> args;                  // "%x" is the scene's x
  int exitCode;
  const char* message;
};

const std::string kStub = "%work/stub.exe";

void Remove(const CTempFolder& root, const std::string& path) {
  fs::remove_all(root / path);
}

// A background's BMP file: its two headers, then `pixels` bytes of pixels.
Bytes Bmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression, uint32_t pixels) {
  Bytes b;
  AppendU16(b, 0x4D42);       // "BM"
  AppendU32(b, 54 + pixels);  // the file's size
  AppendU32(b, 0);            // reserved
  AppendU32(b, 54);           // where the pixels begin
  AppendU32(b, 40);           // BITMAPINFOHEADER
  AppendU32(b, static_cast<uint32_t>(width));
  AppendU32(b, static_cast<uint32_t>(height));
  AppendU16(b, 1);  // planes
  AppendU16(b, bits);
  AppendU32(b, compression);
  b.resize(54 + pixels, 0);  // the header's other fields, the pixels
  return b;
}

// A build of the program with the studio's option `option` naming %work/`file`.
std::vector<std::string> StudioBuild(const char* option, const std::string& file) {
  return {"%old", "%new", "--exe", "%work/a.exe", "--stub", kStub, option, "%work/" + file};
}

const uint32_t kPixels = 1100 * 426;  // 366 x 426 pixels of 3 bytes, rows of 4-byte words
}  // namespace

TEST(Refusals, EachIsTold) {
  const std::vector<CRefusal> refusals = {
      // The command line: exit 2, the usage follows.
      {"a code page past 32 bits",
       nullptr,
       {"%old", "%new", "-o", "%work/r.qpd", "--name-code-page", "4294968228"},
       2,
       "--name-code-page takes 932, 936, 949, 950 or 1250-1258"},
      {"the code page twice",
       nullptr,
       {"%old", "%new", "-o", "%work/r.qpd", "--name-code-page", "932", "--name-code-page=932"},
       2,
       "--name-code-page given twice"},
      {"-o twice",
       nullptr,
       {"%old", "%new", "-o", "%work/a.qpd", "-o", "%work/b.qpd"},
       2,
       "-o given twice"},
      {"--stub twice",
       nullptr,
       {"%old", "%new", "--exe=%work/a.exe", "--stub", kStub, "--stub=x"},
       2,
       "--stub given twice"},
      {"an empty value", nullptr, {"%old", "%new", "--exe="}, 2, "--exe needs a file name"},
      {"a value for a switch",
       nullptr,
       {"%old", "%new", "-o", "%work/r.qpd", "--force=yes"},
       2,
       "--force takes no value"},
      {"a version of three numbers",
       nullptr,
       {"%old", "%new", "--exe", "%work/a.exe", "--product-version", "1.2.3"},
       2,
       "--product-version takes four numbers of 0-65535: A.B.C.D"},
      {"a version part too large",
       nullptr,
       {"%old", "%new", "--exe", "%work/a.exe", "--product-version", "1.2.3.65536"},
       2,
       "--product-version takes four numbers"},
      {"a product name without a program",
       nullptr,
       {"%old", "%new", "-o", "%work/r.qpd", "--product-name", "Game patch"},
       2,
       "--product-name and --product-version are for the program (--exe)"},
      {"--json for a build",
       nullptr,
       {"%old", "%new", "-o", "%work/r.qpd", "--json"},
       2,
       "a build does not take --json"},
      {"--exclude for --show",
       nullptr,
       {"--show", "%work/earlier.qpd", "--exclude", "x"},
       2,
       "--show does not take --exclude"},
      {"--show and --stamp",
       nullptr,
       {"--show", "%work/earlier.qpd", "--stamp", "x"},
       2,
       "--stamp goes with no other of --show, --stamp and --verify"},
      {"an unknown option",
       nullptr,
       {"%old", "%new", "-o", "%work/r.qpd", "--output=x"},
       2,
       "unknown option --output"},
      {"a title with a line break",
       nullptr,
       {"%old", "%new", "--exe", "%work/a.exe", "--title", "Game\npatch"},
       2,
       "--title takes a text of 1 to 100 characters, none a control character"},
      {"a title without a program",
       nullptr,
       {"%old", "%new", "-o", "%work/r.qpd", "--title", "Game patch"},
       2,
       "--title, --background, --icon and --registry-value are for the program (--exe)"},
      {"a registry value of another root",
       nullptr,
       {"%old", "%new", "--exe", "%work/a.exe", "--registry-value", "HKCR\\Game\\Path"},
       2,
       "--registry-value: HKCR\\Game\\Path: not a path below HKLM\\ or HKCU\\"},
      {"a registry value without its key",
       nullptr,
       {"%old", "%new", "--exe", "%work/a.exe", "--registry-value", "HKLM\\InstallPath"},
       2,
       "--registry-value: HKLM\\InstallPath: not a key and a value's name"},
      {"a background of another size",
       [](const CTempFolder& root) {
         WriteWholeFile(root / "work/wide.bmp", Bmp(400, 426, 24, 0, 1200 * 426));
       },
       StudioBuild("--background", "wide.bmp"), 1, "work/wide.bmp: 400x426 pixels, not 366x426"},
      {"a background of 32 bits per pixel",
       [](const CTempFolder& root) {
         WriteWholeFile(root / "work/deep.bmp", Bmp(366, -426, 32, 0, 366 * 4 * 426));
       },
       StudioBuild("--background", "deep.bmp"), 1, "work/deep.bmp: 32 bits per pixel, not 24"},
      {"a compressed background",
       [](const CTempFolder& root) {
         WriteWholeFile(root / "work/rle.bmp", Bmp(366, 426, 24, 1, 5000));
       },
       StudioBuild("--background", "rle.bmp"), 1, "work/rle.bmp: compressed (BI_RLE8), not BI_RGB"},
      {"a truncated background",
       [](const CTempFolder& root) {
         WriteWholeFile(root / "work/cut.bmp", Bmp(366, 426, 24, 0, kPixels - 1));
       },
       StudioBuild("--background", "cut.bmp"), 1,
       "work/cut.bmp: truncated: 468600 bytes of pixels from byte 54, the file has 468653"},
      {"a background that is no BMP", nullptr, StudioBuild("--background", "earlier.qpd"), 1,
       "work/earlier.qpd: not a BMP file"},
      {"a stub without the background's bitmap",
       [](const CTempFolder& root) {
         WriteWholeFile(root / "work/good.bmp", Bmp(366, 426, 24, 0, kPixels));
       },
       StudioBuild("--background", "good.bmp"), 1,
       "work/stub.exe: the stub has no bitmap 130 of 468640 bytes for the background"},
      {"an icon that is no icon", nullptr, StudioBuild("--icon", "earlier.qpd"), 1,
       "work/earlier.qpd: not an icon file (.ico)"},
      {"an icon whose image lies past its end",
       [](const CTempFolder& root) {
         Bytes ico;
         for (uint16_t field : {0, 1, 1}) AppendU16(ico, field);  // reserved, icons, one image
         ico.insert(ico.end(), {16, 16, 0, 0});                   // 16 x 16, no palette
         AppendU16(ico, 1);                                       // planes
         AppendU16(ico, 32);                                      // bits per pixel
         AppendU32(ico, 1000);                                    // its bytes
         AppendU32(ico, 22);                                      // where they begin
         WriteWholeFile(root / "work/cut.ico", ico);
       },
       StudioBuild("--icon", "cut.ico"), 1, "work/cut.ico: image 1 lies past the end of the file"},
      {"a product name the stub has no field for",
       nullptr,
       {"%old", "%new", "--exe", "%work/a.exe", "--stub", kStub, "--product-name", "Game patch"},
       1,
       "work/stub.exe: the stub's version resource has no FileDescription"},

      // The outputs.
      {"the program over the new game's own",
       nullptr,
       {"%old", "%new", "--exe", "%new/Quelgame.exe", "--stub", kStub, "-f"},
       1,
       "new/Quelgame.exe: the program (--exe) would lie inside the new game folder"},
      {"the release inside the old folder",
       nullptr,
       {"%old", "%new", "-o", "%old/data/r.qpd"},
       1,
       "old/data/r.qpd: the release (-o) would lie inside the old game folder"},
      {"the release inside a folder linked into the new one",
       [](const CTempFolder& root) {
         fs::create_directory_symlink(root / "new/data", root / "work/in");
       },
       {"%old", "%new", "-o", "%work/in/r.qpd"},
       1,
       "work/in/r.qpd: the release (-o) would lie inside the new game folder"},
      {"one file for both outputs",
       nullptr,
       {"%old", "%new", "-o", "%work/out", "--exe", "%work/./out", "--stub", kStub},
       1,
       "work/./out: given as the release (-o) and as the program (--exe)"},
      {"the program over the stub",
       nullptr,
       {"%old", "%new", "--exe", kStub, "--stub", kStub, "-f"},
       1,
       "work/stub.exe: the program (--exe) would replace the stub"},
      {"the program over the release it carries",
       nullptr,
       {"--stamp", "%work/earlier.qpd", "--exe", "%work/earlier.qpd", "--stub", kStub, "-f"},
       1,
       "work/earlier.qpd: the program (--exe) would replace the release to stamp"},
      {"a folder as the release",
       nullptr,
       {"%old", "%new", "-o", "%work/folder", "-f"},
       1,
       "work/folder: not a regular file (a folder or a device)"},
      {"a device as the release",
       nullptr,
       {"%old", "%new", "-o", "/dev/null", "-f"},
       1,
       "/dev/null: not a regular file (a folder or a device)"},
      // As root, renaming over it replaced the device's link itself.
      {"standard output as the release",
       nullptr,
       {"%old", "%new", "-o", "/dev/stdout", "-f"},
       1,
       "/dev/stdout: a symbolic link, which the release (-o) would replace"},
      {"a link as the release",
       nullptr,
       {"%old", "%new", "-o", "%work/link.qpd", "-f"},
       1,
       "work/link.qpd: a symbolic link, which the release (-o) would replace"},
      {"an earlier release",
       nullptr,
       {"%old", "%new", "-o", "%work/earlier.qpd"},
       1,
       "work/earlier.qpd: exists; give --force (-f) to replace it"},
      {"an earlier program",
       nullptr,
       {"%old", "%new", "--exe", "%work/earlier.exe", "--stub", kStub},
       1,
       "work/earlier.exe: exists; give --force (-f) to replace it"},
      {"an earlier stamped program",
       nullptr,
       {"--stamp", "%work/earlier.qpd", "--exe", "%work/earlier.exe", "--stub", kStub},
       1,
       "work/earlier.exe: exists"},
      {"a release in a missing folder",
       nullptr,
       {"%old", "%new", "-o", "%work/none/r.qpd"},
       1,
       "cannot create "},

      // The game folders.
      {"one folder twice",
       nullptr,
       {"%old", "%old/", "-o", "%work/r.qpd"},
       1,
       "old: given as the old game folder and as the new game folder"},
      {"the new folder inside the old",
       nullptr,
       {"%old", "%old/data", "-o", "%work/r.qpd"},
       1,
       "old/data: the new game folder lies inside the old game folder"},
      {"a link to the build machine's file",
       [](const CTempFolder& root) { fs::create_symlink("/etc/hostname", root / "new/host.txt"); },
       {"%old", "%new", "-o", "%work/r.qpd"},
       1,
       "new/host.txt: a symbolic link; the release would carry what it leads to"},
      {"a link in the old folder",
       [](const CTempFolder& root) { fs::create_symlink("readme.txt", root / "old/alias.txt"); },
       {"%old", "%new", "-o", "%work/r.qpd"},
       1,
       "old/alias.txt: a symbolic link"},
      {"a followed link leading outside",
       [](const CTempFolder& root) { fs::create_symlink("/etc/hostname", root / "new/host.txt"); },
       {"%old", "%new", "-o", "%work/r.qpd", "--follow-links"},
       1,
       "new/host.txt: a symbolic link leading outside "},
      {"a followed link leading nowhere",
       [](const CTempFolder& root) { fs::create_symlink("gone.txt", root / "new/broken.txt"); },
       {"%old", "%new", "-o", "%work/r.qpd", "--follow-links"},
       1,
       "new/broken.txt: a symbolic link that leads nowhere"},
      {"a link loop",
       [](const CTempFolder& root) { fs::create_directory_symlink("..", root / "new/data/up"); },
       {"%old", "%new", "-o", "%work/r.qpd", "--follow-links"},
       1,
       "new/data/up: a link loop: it leads back to "},
      {"a file that becomes a folder",
       [](const CTempFolder& root) {
         Remove(root, "new/readme.txt");
         WriteWholeFile(root / "new/readme.txt/part1.txt", TextOfSize(10, 4));
       },
       {"%old", "%new", "-o", "%work/r.qpd"},
       1,
       "old/readme.txt is a file and "},
      {"a folder that becomes a file",
       [](const CTempFolder& root) {
         Remove(root, "new/data");
         WriteWholeFile(root / "new/data", TextOfSize(10, 4));
       },
       {"%old", "%new", "-o", "%work/r.qpd"},
       1,
       "old/data is a folder and "},
      {"a superscript port name",
       [](const CTempFolder& root) {
         WriteWholeFile(root / "new/COM\xC2\xB9.txt", TextOfSize(10, 5));
       },
       {"%old", "%new", "-o", "%work/r.qpd", "--name-code-page", "1252"},
       1,
       "COM\xC2\xB9.txt: cannot be patched on Windows: \"COM\xC2\xB9.txt\" is a device name"},

      // What --show and --stamp read.
      {"the stub shown",
       nullptr,
       {"--show", kStub},
       1,
       "work/stub.exe: the stub of QelPatch " QELPATCH_VERSION ": it carries no release"},
      {"a text shown",
       nullptr,
       {"--show", "%work/earlier.exe"},
       1,
       "work/earlier.exe: the patcher would refuse this release"},
  };
  for (const CRefusal& refusal : refusals) {
    CScene scene;
    if (refusal.spoil) refusal.spoil(scene.root);
    const auto before = Snapshot(scene.root.Path());
    std::vector<std::string> command{QELPATCH_BUILD_TOOL};
    for (const std::string& arg : refusal.args)
      command.push_back(arg[0] == '%' ? scene.root / arg.substr(1) : arg);
    const CCommandResult run = RunCommand(command, "");
    EXPECT_EQ(run.exitCode, refusal.exitCode) << refusal.what << ": " << run.err;
    EXPECT_NE(run.err.find(refusal.message), std::string::npos) << refusal.what << ": " << run.err;
    EXPECT_EQ(run.err.find(refusal.message), run.err.rfind(refusal.message)) << refusal.what;
    EXPECT_EQ(run.out, "") << refusal.what;
    EXPECT_EQ(Snapshot(scene.root.Path()), before) << refusal.what;
  }
}
