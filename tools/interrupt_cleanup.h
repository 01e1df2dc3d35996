#pragma once
// What the builder leaves when it is stopped: nothing. An interrupt (SIGINT,
// SIGTERM, SIGHUP) removes the unfinished output and ends the builder as the
// signal would. A SIGBUS, which a mapped input raises when another program
// shrinks it while it is read, becomes a message naming that file, and the
// unfinished output is removed. Everything here is safe inside a signal
// handler: fixed buffers, no allocation.

#include <cstddef>
#include <string>

// Installs the handlers (once).
void InstallInterruptCleanup();

// The unfinished outputs that a signal must remove (at most two: a release
// and the program made from it). Add returns a slot, or -1 when both are taken.
int AddPendingOutput(const std::string& path);
void RemovePendingOutput(int slot);

// Mapped inputs, so a SIGBUS can name its file. Register returns a slot
// (or -1 when the table is full: the file is then named "an input file").
int RegisterMapping(const void* data, size_t size, const std::string& path);
void UnregisterMapping(int slot);
