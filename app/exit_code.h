#pragma once
// What QelPatch.exe tells the program that started it, so that a launcher
// or a script can tell a finished patch from one that is not.

constexpr int kExitCompleted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitCannotStart = 3;

// The code once the window is gone: completed only after the completed
// result; a failed result, Quit or a close before any result is a failure.
inline int ExitCodeOnClose(bool completed) {
  return completed ? kExitCompleted : kExitFailed;
}
