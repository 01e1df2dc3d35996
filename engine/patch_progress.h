#pragma once
// The progress record shared by the worker (writer) and the window (reader):
// a total and a done count of bytes (those a compressed release unpacks to,
// then the run's payload bytes), and one status text. The lock is
// held only while the text is replaced or a snapshot is taken; the counts are
// whole 32-bit atomics.

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/threads.h"

class CPatchProgress {
 public:
  void SetTotal(uint32_t n) { total_.store(n, std::memory_order_relaxed); }
  // The count starts again from 0 done of n: the run's after the bytes a
  // compressed release unpacked to. The total is 0 meanwhile, so no
  // snapshot pairs the old done with the new total.
  void Restart(uint32_t n) {
    total_.store(0, std::memory_order_relaxed);
    done_.store(0, std::memory_order_relaxed);
    total_.store(n, std::memory_order_relaxed);
  }
  // Grows done by n, modulo 2^32. Only the worker writes it.
  void AddDone(uint32_t n) {
    done_.store(done_.load(std::memory_order_relaxed) + n, std::memory_order_relaxed);
  }
  void SetStatusText(const std::string& text);

  // 0 before the total is known; not clamped above 1.
  float GetRatio() const;
  std::string GetStatusText() const { return status_; }

  // One consistent snapshot of ratio and text, under the lock.
  void Snapshot(float& ratio, std::string& text);

 private:
  std::atomic<uint32_t> total_{0};
  std::atomic<uint32_t> done_{0};
  std::string status_;
  platform::CLock lock_;
};
