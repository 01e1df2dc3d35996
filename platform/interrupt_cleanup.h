#pragma once
// What the builder leaves when it is stopped: nothing. An interrupt (SIGINT,
// SIGTERM, SIGHUP; on Windows Ctrl+C, Ctrl+Break or the console closed)
// removes the unfinished outputs (pending_outputs.h) and ends the builder as
// the signal would. A SIGBUS, which a mapped input raises when another program
// shrinks it while it is read, becomes a message naming that file, and the
// unfinished output is removed (Windows does not let a mapped file shrink).
// Everything here is safe inside a signal handler: fixed buffers, no
// allocation.

#include <cstddef>
#include <string>

// Installs the handlers (once).
void InstallInterruptCleanup();

// Mapped inputs, so a SIGBUS can name its file. Register returns a slot
// (or -1 when the table is full: the file is then named "an input file").
int RegisterMapping(const void* data, size_t size, const std::string& path);
void UnregisterMapping(int slot);
