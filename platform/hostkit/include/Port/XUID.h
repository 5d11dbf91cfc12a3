#pragma once
// 128-bit identifier of an interface, a component class or an object instance.

#include <cstdint>
#include <functional>
#include <stdexcept>

#include "Port/StringBase.h"

namespace Port {

class XUID {
 public:
  constexpr XUID() noexcept = default;
  constexpr XUID(std::uint64_t first, std::uint64_t second) noexcept : m_first(first), m_second(second) {}

  // Braced GUID text, "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", hex digits in any case.
  // The first 16 digits make the first half, the last 16 the second. Malformed text throws
  // std::invalid_argument; in a constant expression that makes a bad literal a compile error.
  constexpr explicit XUID(const char* text) {
    if (text == nullptr) throw std::invalid_argument("XUID: null text");
    constexpr int kLength = 38;
    std::uint64_t halves[2] = {0, 0};
    int digits = 0;
    int i = 0;
    for (; i < kLength; ++i) {
      const char c = text[i];
      if (c == '\0') throw std::invalid_argument("XUID: text too short");
      if (i == 0) {
        if (c != '{') throw std::invalid_argument("XUID: missing '{'");
      } else if (i == kLength - 1) {
        if (c != '}') throw std::invalid_argument("XUID: missing '}'");
      } else if (i == 9 || i == 14 || i == 19 || i == 24) {
        if (c != '-') throw std::invalid_argument("XUID: misplaced '-'");
      } else {
        const int v = HexValue(c);
        if (v < 0) throw std::invalid_argument("XUID: not a hex digit");
        std::uint64_t& half = halves[digits / 16];
        half = (half << 4) | static_cast<std::uint64_t>(v);
        ++digits;
      }
    }
    if (text[i] != '\0') throw std::invalid_argument("XUID: trailing text");
    m_first = halves[0];
    m_second = halves[1];
  }

  // A new id, unique within and across processes (random, version 4 layout).
  static XUID New();

  constexpr std::uint64_t First() const noexcept { return m_first; }
  constexpr std::uint64_t Second() const noexcept { return m_second; }
  constexpr bool IsNull() const noexcept { return m_first == 0 && m_second == 0; }

  // Braced upper-case text that the text constructor reads back to the same id.
  StringBase<char> GetAsString() const;
  void GetValue(StringBase<char>& text) const;

  friend constexpr bool operator==(const XUID& a, const XUID& b) noexcept {
    return a.m_first == b.m_first && a.m_second == b.m_second;
  }
  friend constexpr bool operator<(const XUID& a, const XUID& b) noexcept {
    return a.m_first != b.m_first ? a.m_first < b.m_first : a.m_second < b.m_second;
  }

 private:
  static constexpr int HexValue(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  std::uint64_t m_first = 0;
  std::uint64_t m_second = 0;
};

}  // namespace Port

template <>
struct std::hash<Port::XUID> {
  std::size_t operator()(const Port::XUID& id) const noexcept {
    return static_cast<std::size_t>(id.First() ^ (id.Second() * 0x9E3779B97F4A7C15ull));
  }
};
