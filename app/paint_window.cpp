// Painting: everything is drawn straight into the given device context, from
// the background's two halves (the window look above, the filled bar below).
#include <algorithm>
#include <cstdio>
#include <string>

#include "app/qel_client_startup.h"
#include "app/status_lines.h"
#include "platform/win32/wide_path.h"

namespace {
constexpr float kMinimumBarRatio = 0.01f;
constexpr COLORREF kPlainBackground = RGB(200, 200, 200);
constexpr COLORREF kPlainBar = RGB(255, 200, 100);
constexpr COLORREF kTextColour = RGB(0, 0, 0);
constexpr COLORREF kTextBackground = RGB(255, 255, 255);
// The bar's band: 40 to 15 pixels above the bottom, 17 pixels in from each side.
constexpr int kBarInset = 17;
constexpr int kBarTopFromBottom = 40;
constexpr int kBarBottomFromBottom = 15;
constexpr int kPercentInset = 20;
constexpr int kStatusTopFromBottom = 80;
constexpr int kStatusBottomFromBottom = 50;
// Status lines stay this far in from the window's sides.
constexpr int kStatusInset = 6;
constexpr UINT kPercentFormat = DT_SINGLELINE | DT_VCENTER | DT_NOCLIP | DT_NOPREFIX;
constexpr UINT kStatusFormat = DT_CENTER | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX;

// Truncates toward zero. A ratio far past 1 would overflow int, which C++
// leaves undefined; such values saturate instead.
int LineHeight(HDC dc) {
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  return std::max(1, static_cast<int>(metrics.tmHeight));
}

int StatusBoxHeight() {
  return kStatusTopFromBottom - kStatusBottomFromBottom;
}

int Truncate(float value) {
  if (value >= 2147483520.0f) return 2147483520;
  if (value <= -2147483520.0f) return -2147483520;
  return static_cast<int>(value);
}

void FillPlain(HDC dc, const RECT& rect, COLORREF colour) {
  SetBkColor(dc, colour);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}
}  // namespace

void CQelClientStartup::DrawBarRect(HDC dc, const RECT& rect, int sourceOffsetY,
                                    COLORREF fallback) {
  if (memoryDC != nullptr) {
    BitBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, memoryDC,
           rect.left, rect.top + sourceOffsetY, SRCCOPY);
  } else {
    FillPlain(dc, rect, fallback);
  }
}

void CQelClientStartup::PaintWindow(HDC dc) {
  if (memoryDC != nullptr) {
    BitBlt(dc, 0, 0, width, height, memoryDC, 0, 0, SRCCOPY);
  } else {
    RECT whole = {0, 0, width, height};
    FillPlain(dc, whole, kPlainBackground);
  }

  HGDIOBJ keptFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetTextColor(dc, kTextColour);
  SetBkColor(dc, kTextBackground);
  SetBkMode(dc, TRANSPARENT);

  float ratio = 1.0f;
  std::string text = worker.CompletionText();
  if (!completed) worker.GetProgress(ratio, text);

  if (ratio >= kMinimumBarRatio) {
    // Nothing clamps the ratio: past 1 the bar runs beyond its track.
    int filled = Truncate(static_cast<float>(width - 2 * kBarInset) * ratio);
    RECT bar = {kBarInset, height - kBarTopFromBottom, kBarInset + filled,
                height - kBarBottomFromBottom};
    DrawBarRect(dc, bar, height, kPlainBar);
  }

  char percent[1024];
  int length = std::snprintf(percent, sizeof(percent), "%d%%", Truncate(ratio * 100.0f));
  RECT percentBox = {kPercentInset, height - kBarTopFromBottom, width - kPercentInset,
                     height - kBarBottomFromBottom};
  DrawTextA(dc, percent, length, &percentBox, kPercentFormat);

  // The lines centred in the status box, as a block and each on its own.
  const std::vector<std::string> lines = StatusLines(dc, text);
  const int lineHeight = LineHeight(dc);
  int top = height - kStatusTopFromBottom +
            (StatusBoxHeight() - static_cast<int>(lines.size()) * lineHeight) / 2;
  for (const std::string& line : lines) {
    RECT lineBox = {0, top, width, top + lineHeight};
    // The engine's texts are UTF-8; a name outside the ANSI code page keeps
    // its characters in the wide call.
    const std::wstring wide = Widen(line, CP_UTF8);
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &lineBox, kStatusFormat);
    top += lineHeight;
  }

  SelectObject(dc, keptFont);
}

std::vector<std::string> CQelClientStartup::StatusLines(HDC dc, const std::string& text) const {
  // Only the status text's first line is shown, over the lines the box holds.
  const CTextWidth widthOf = [dc](const std::string& line) {
    SIZE size = {};
    const std::wstring wide = Widen(line, CP_UTF8);
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    return static_cast<int>(size.cx);
  };
  return FitStatusText(text.substr(0, text.find('\n')), width - 2 * kStatusInset,
                       std::max(1, StatusBoxHeight() / LineHeight(dc)), widthOf);
}
