#include "engine/patch_progress.h"

void CPatchProgress::SetStatusText(const std::string& text) {
  std::string copy = text;
  platform::CLockGuard hold(lock_);
  status_.swap(copy);
}

float CPatchProgress::GetRatio() const {
  uint32_t total = total_.load(std::memory_order_relaxed);
  if (total == 0) return 0.0f;
  return static_cast<float>(done_.load(std::memory_order_relaxed)) / static_cast<float>(total);
}

void CPatchProgress::Snapshot(float& ratio, std::string& text) {
  platform::CLockGuard hold(lock_);
  ratio = GetRatio();
  text = status_;
}
