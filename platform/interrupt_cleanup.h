#pragma once
// Interrupts (SIGINT, SIGTERM, SIGHUP; on Windows Ctrl+C, Ctrl+Break and the
// console closed) are taken on a thread of their own, outside any signal
// handler, so that what they do may allocate, lock and remove whole folders.
// The builder's: every unfinished output (pending_outputs.h) is removed and
// the process ends as the interrupt would. A SIGBUS, which a mapped input
// raises when another program shrinks it while it is read, becomes a
// message naming that file, the same removal, and exit code 1 (Windows does
// not let a mapped file shrink).

#include <cstddef>
#include <string>

// What an interrupt does: true when the process goes on (the handler took
// care of it), false to end it as the interrupt would. On Windows a process
// that goes on after its console closed has the seconds the system allows
// to end itself.
using InterruptHandler = bool (*)(void* context);

// Takes interrupts from now on with `handler`, once per interrupt. Call it
// first in main: on POSIX it blocks the signals in the calling thread and in
// every thread made after it, and a process forked later takes them again
// once it calls this.
void HandleInterrupts(InterruptHandler handler, void* context);

// The builder's handling (once; later calls do nothing).
void InstallInterruptCleanup();

// Mapped inputs, so a SIGBUS can name its file. Register returns a slot
// (or -1 when the table is full: the file is then named "an input file").
int RegisterMapping(const void* data, size_t size, const std::string& path);
void UnregisterMapping(int slot);
