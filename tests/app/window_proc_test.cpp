// The main window and its procedure, with a real window on a display.
#include "app/window_proc.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/qel_client_startup.h"
#include "resources/resource_ids.h"
#include "tests/app/gdi_image_support.h"

namespace {
constexpr int H = 213;

const CBitmapPixels& Background() {
  static CBitmapPixels pixels(
      LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_BACKGROUND)));
  return pixels;
}

// Stands in for the user at the result box: finds each box captioned
// "QelPatch", records its text and what the window showed behind it, and
// presses OK.
class CResultBoxUser {
 public:
  explicit CResultBoxUser(HWND mainWindow) : main_(mainWindow), thread_([this] { Watch(); }) {}
  ~CResultBoxUser() {
    stop_ = true;
    thread_.join();
  }

  std::vector<std::string> Texts() {
    std::lock_guard<std::mutex> hold(mutex_);
    return texts_;
  }
  // Whether the bar looked full behind the first box.
  bool BarFullBehindBox() const { return barFull_; }

 private:
  void Watch() {
    HWND last = nullptr;
    while (!stop_) {
      HWND box = FindWindowA("#32770", "QelPatch");
      if (box != nullptr && box != last) {
        last = box;
        // Let the repaint timer tick behind the box, then look at the bar.
        Sleep(500);
        HDC dc = GetDC(main_);
        barFull_ = GetPixel(dc, 340, 174) == ToColorRef(Background().Pixel(340, 174 + H));
        ReleaseDC(main_, dc);
        Record(box);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
      }
      Sleep(20);
    }
  }

  // The box's text is its static control with text (the icon's has none).
  static BOOL CALLBACK TakeStaticText(HWND child, LPARAM out) {
    char name[16] = {}, buffer[256] = {};
    GetClassNameA(child, name, sizeof(name));
    if (lstrcmpiA(name, "Static") == 0 && GetWindowTextA(child, buffer, sizeof(buffer)) > 0)
      *reinterpret_cast<std::string*>(out) = buffer;
    return TRUE;
  }

  void Record(HWND box) {
    std::string text;
    EnumChildWindows(box, TakeStaticText, reinterpret_cast<LPARAM>(&text));
    std::lock_guard<std::mutex> hold(mutex_);
    texts_.push_back(text);
  }

  static COLORREF ToColorRef(CRgb c) { return RGB(c.r, c.g, c.b); }

  HWND main_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> barFull_{false};
  std::mutex mutex_;
  std::vector<std::string> texts_;
  std::thread thread_;
};

class WindowProcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_.instance = GetModuleHandleA(nullptr);
    app_.completed = false;
    app_.resultShown = false;
    app_.LoadBackground();
    ASSERT_TRUE(app_.CreateMainWindow());
    ShowWindow(app_.mainWindow, SW_SHOW);
    UpdateWindow(app_.mainWindow);
  }

  void TearDown() override {
    if (IsWindow(app_.mainWindow)) DestroyWindow(app_.mainWindow);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // Runs the message loop until the window is destroyed; its quit code.
  int RunLoop() {
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
  }

  CQelClientStartup& app_ = CQelClientStartup::GetInstance();
};

TEST_F(WindowProcTest, MainWindowIsTheBorderlessPopupWithAQuitButton) {
  RECT rect;
  GetWindowRect(app_.mainWindow, &rect);
  EXPECT_EQ(rect.left, 100);
  EXPECT_EQ(rect.top, 100);
  EXPECT_EQ(rect.right - rect.left, 366);
  EXPECT_EQ(rect.bottom - rect.top, 213);
  char text[64] = {};
  GetClassNameA(app_.mainWindow, text, sizeof(text));
  EXPECT_STREQ(text, "Qel_ManualPatch");
  GetWindowTextA(app_.mainWindow, text, sizeof(text));
  EXPECT_STREQ(text, "Qel_ManualPatch");
  LONG style = GetWindowLongA(app_.mainWindow, GWL_STYLE);
  EXPECT_EQ(style & (WS_POPUP | WS_CLIPCHILDREN | WS_CAPTION | WS_BORDER | WS_THICKFRAME),
            WS_POPUP | WS_CLIPCHILDREN);

  HWND quit = GetDlgItem(app_.mainWindow, IDC_QUIT);
  ASSERT_NE(quit, nullptr);
  GetWindowRect(quit, &rect);
  EXPECT_EQ(rect.left - 100, 346);
  EXPECT_EQ(rect.top - 100, 2);
  EXPECT_EQ(rect.right - rect.left, 18);
  EXPECT_EQ(rect.bottom - rect.top, 16);
  EXPECT_NE(SendMessageA(quit, BM_GETIMAGE, IMAGE_BITMAP, 0), 0);
}

TEST_F(WindowProcTest, DraggingTheClientAreaMovesTheWindow) {
  EXPECT_EQ(SendMessageA(app_.mainWindow, WM_NCHITTEST, 0, MAKELPARAM(250, 200)), HTCAPTION);
  EXPECT_EQ(SendMessageA(app_.mainWindow, WM_NCHITTEST, 0, MAKELPARAM(20, 20)), HTNOWHERE);
}

TEST_F(WindowProcTest, TimerRepaintsWhateverItsId) {
  HDC dc = GetDC(app_.mainWindow);
  RECT whole = {0, 0, 366, 213};
  HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
  FillRect(dc, &whole, magenta);
  DeleteObject(magenta);
  ASSERT_EQ(GetPixel(dc, 60, 60), RGB(255, 0, 255));

  SendMessageA(app_.mainWindow, WM_TIMER, 7, 0);
  CRgb expected = Background().Pixel(60, 60);
  EXPECT_EQ(GetPixel(dc, 60, 60), RGB(expected.r, expected.g, expected.b));
  ReleaseDC(app_.mainWindow, dc);
}

TEST_F(WindowProcTest, ResultWithAnotherWParamChangesNothing) {
  CResultBoxUser user(app_.mainWindow);
  SendMessageA(app_.mainWindow, WM_PATCH_RESULT, 2, 0);
  Sleep(200);
  EXPECT_TRUE(IsWindow(app_.mainWindow));
  EXPECT_FALSE(app_.completed);
  EXPECT_TRUE(user.Texts().empty());
}

TEST_F(WindowProcTest, SuccessShowsOneBoxOverACompletedWindowThenCloses) {
  CResultBoxUser user(app_.mainWindow);
  // A second result while the box is open is not shown again.
  PostMessageA(app_.mainWindow, WM_PATCH_RESULT, 1, 0);
  PostMessageA(app_.mainWindow, WM_PATCH_RESULT, 1, 0);
  EXPECT_EQ(RunLoop(), 0);
  EXPECT_FALSE(IsWindow(app_.mainWindow));
  EXPECT_EQ(user.Texts(), std::vector<std::string>{" Patch is completed."});
  EXPECT_TRUE(user.BarFullBehindBox());
  EXPECT_TRUE(app_.completed);
}

TEST_F(WindowProcTest, FailureShowsOneBoxAndLeavesTheFlagClear) {
  CResultBoxUser user(app_.mainWindow);
  PostMessageA(app_.mainWindow, WM_PATCH_RESULT, 0, 0);
  PostMessageA(app_.mainWindow, WM_PATCH_RESULT, 1, 0);
  EXPECT_EQ(RunLoop(), 1);
  EXPECT_EQ(user.Texts(), std::vector<std::string>{" Patch is failed."});
  EXPECT_FALSE(user.BarFullBehindBox());
  EXPECT_FALSE(app_.completed);
}

TEST_F(WindowProcTest, QuitClosesWithoutABoxAndReleasesTheBackground) {
  CResultBoxUser user(app_.mainWindow);
  SendMessageA(app_.mainWindow, WM_COMMAND, MAKEWPARAM(IDC_QUIT, BN_CLICKED), 0);
  EXPECT_EQ(RunLoop(), 1);
  EXPECT_FALSE(IsWindow(app_.mainWindow));
  EXPECT_EQ(app_.background, nullptr);
  EXPECT_EQ(app_.memoryDC, nullptr);
  EXPECT_TRUE(user.Texts().empty());
}
TEST_F(WindowProcTest, ClosingTheWindowBeforeTheResultIsAFailure) {
  CResultBoxUser user(app_.mainWindow);
  PostMessageA(app_.mainWindow, WM_CLOSE, 0, 0);
  EXPECT_EQ(RunLoop(), 1);
  EXPECT_FALSE(IsWindow(app_.mainWindow));
  EXPECT_TRUE(user.Texts().empty());
}
}  // namespace
