#include "Port/XUID.h"

#include <cstdio>
#include <mutex>
#include <random>

namespace Port {

XUID XUID::New() {
  static std::mutex s_lock;
  static std::mt19937_64 s_engine{[] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
    return std::mt19937_64(seed);
  }()};
  std::uint64_t first = 0;
  std::uint64_t second = 0;
  {
    std::lock_guard<std::mutex> guard(s_lock);
    first = s_engine();
    second = s_engine();
  }
  first = (first & ~0xF000ull) | 0x4000ull;                              // version 4
  second = (second & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;  // variant 1
  return XUID(first, second);
}

StringBase<char> XUID::GetAsString() const {
  char text[39];
  std::snprintf(text, sizeof text, "{%08llX-%04llX-%04llX-%04llX-%012llX}",
                static_cast<unsigned long long>(m_first >> 32),
                static_cast<unsigned long long>((m_first >> 16) & 0xFFFF),
                static_cast<unsigned long long>(m_first & 0xFFFF),
                static_cast<unsigned long long>(m_second >> 48),
                static_cast<unsigned long long>(m_second & 0xFFFFFFFFFFFFull));
  return StringBase<char>(text);
}

void XUID::GetValue(StringBase<char>& text) const { text = GetAsString(); }

}  // namespace Port
