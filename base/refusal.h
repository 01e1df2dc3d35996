#pragma once
// One way to refuse, used by every check of the system: a function that can
// refuse returns false and, when its caller asked (a `why` that is not null),
// says why in words fit for a message or the status line.

#include <string>

inline bool Refuse(std::string* why, const std::string& text) {
  if (why) *why = text;
  return false;
}
