#pragma once
// The console patcher's terminal: UTF-8 text out, lines of answer in. On a
// Windows console both go through the wide calls, so that every character of
// a path shows and can be typed whatever the console's code page; a stream
// that is redirected carries the UTF-8 bytes as they are.

#include <string>

enum class TerminalStream { kOutput, kError };

// Writes all of `text` and flushes it.
void WriteTerminal(TerminalStream stream, const std::string& text);

// One line of standard input without its line end; false at the end of input.
bool ReadTerminalLine(std::string& line);

// Readies standard error for a line redrawn in place ("\r", then "\033[K" to
// clear it). True when it is a terminal that takes those: on Windows a
// console that takes the virtual terminal sequences (Windows 10 on).
bool RedrawsLinesInPlace();
