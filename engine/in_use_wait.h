#pragma once
// Another program that holds a file (a virus scanner looking at a fresh file,
// the game's launcher) usually lets go within seconds. An operation refused
// because its file is in use is tried again, for at least kInUseWaitMs in
// all, while the status line says what is waited for.

#include <cstdint>
#include <functional>
#include <string>

#include "engine/patch_progress.h"
#include "platform/files.h"

constexpr uint32_t kInUseWaitMs = 10000;
constexpr uint32_t kInUseRetryMs = 250;

// Which errors mean "in use": kInUse always; kAccessDenied too for a replace,
// since Windows refuses to replace a running program or a mapped file so.
enum class CInUseErrors { kSharing, kSharingOrDenied };

// `attempt` returns kNone when it succeeded, else the error it failed with.
// Returns the last attempt's result. The status text is restored after a wait.
platform::FileError RetryWhileInUse(CPatchProgress& progress, const std::string& name,
                                    CInUseErrors inUse,
                                    const std::function<platform::FileError()>& attempt);
