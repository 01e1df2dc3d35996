#pragma once
// The unfinished outputs that an interrupt must remove (at most two: a
// release and the program made from it), in fixed buffers that a signal
// handler can read.

#include <string>

constexpr int kPendingOutputs = 2;

// A slot for the path, or -1 when both are taken.
int AddPendingOutput(const std::string& path);
void RemovePendingOutput(int slot);
// The path in a slot; empty when the slot is free. Safe in a signal handler.
const char* PendingOutput(int slot);
