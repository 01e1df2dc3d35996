#pragma once
// A file fault hook (platform/file_faults.h) for one scope: installed when
// made and removed when the scope is left, also by a failed ASSERT's early
// return, so no later test runs with it. Unlike the layer's plain hook, the
// function may capture what it decides with; pass std::ref(object) to keep
// a callable object's counts in the object itself.

#include <functional>
#include <string>

#include "platform/file_faults.h"

class CScopedFaultHook {
 public:
  using Decide = std::function<platform::Fault(platform::FileOp op, const std::string& path)>;

  explicit CScopedFaultHook(Decide decide);
  ~CScopedFaultHook();
  CScopedFaultHook(const CScopedFaultHook&) = delete;
  CScopedFaultHook& operator=(const CScopedFaultHook&) = delete;

 private:
  static platform::Fault Call(platform::FileOp op, const std::string& path, void* context);

  Decide decide_;
};
