#pragma once
// The status line as the window shows it. The reason a run failed is what a
// player most needs to read, so the whole of it is shown: wrapped at spaces
// over the lines the status box holds and, when it still does not fit, its
// longest word (the path of a file) shortened in its middle to "...", as
// little as lets the rest fit. The start of the text is never cut.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The width of a text as the window draws it.
using CTextWidth = std::function<int(const std::string& text)>;

// `text` (one line of UTF-8, as the engine writes it) laid out in lines no
// wider than `width`, at most `lines` of them; names are cut only between
// characters. A text that cannot fit even so keeps its first lines.
std::vector<std::string> FitStatusText(const std::string& text, int width, int lines,
                                       const CTextWidth& widthOf);
