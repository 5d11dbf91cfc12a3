#pragma once
// Atomic counters on plain 32-bit integers.

#include <atomic>
#include <cstdint>

namespace Port {

// Both return the value that this call produced, so that a caller can act on exactly
// the transition it caused (for example the release that reaches zero).
inline std::int32_t SafeIncr(std::int32_t& value) noexcept {
  return std::atomic_ref<std::int32_t>(value).fetch_add(1, std::memory_order_relaxed) + 1;
}

inline std::int32_t SafeDecr(std::int32_t& value) noexcept {
  return std::atomic_ref<std::int32_t>(value).fetch_sub(1, std::memory_order_acq_rel) - 1;
}

inline std::int32_t SafeRead(std::int32_t& value) noexcept {
  return std::atomic_ref<std::int32_t>(value).load(std::memory_order_acquire);
}

}  // namespace Port
