#pragma once
// The host's narrow string: names, paths and message arguments.

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Port {

template <class C> class StringBase;

template <>
class StringBase<char> {
 public:
  // Where Trim strips the given characters.
  enum TrimMode : int { kTrimLeading = 0, kTrimTrailing = 1, kTrimBoth = 2 };

  StringBase() = default;
  StringBase(const char* text) : m_text(text ? text : "") {}  // NOLINT: implicit by design
  StringBase(const char* text, std::size_t length) : m_text(text ? std::string(text, length) : std::string()) {}
  StringBase(std::string text) : m_text(std::move(text)) {}  // NOLINT
  StringBase(std::string_view text) : m_text(text) {}        // NOLINT

  StringBase& operator=(const char* text) {
    m_text = text ? text : "";
    return *this;
  }
  StringBase& operator+=(const StringBase& other) {
    m_text += other.m_text;
    return *this;
  }
  StringBase& operator+=(const char* text) {
    if (text) m_text += text;
    return *this;
  }
  StringBase& operator+=(char c) {
    m_text += c;
    return *this;
  }

  const char* c_str() const noexcept { return m_text.c_str(); }
  const char* data() const noexcept { return m_text.data(); }
  std::int32_t GetLength() const noexcept { return static_cast<std::int32_t>(m_text.size()); }
  std::size_t size() const noexcept { return m_text.size(); }
  bool empty() const noexcept { return m_text.empty(); }
  const std::string& str() const noexcept { return m_text; }
  std::string& str() noexcept { return m_text; }
  operator std::string_view() const noexcept { return m_text; }  // NOLINT

  // Byte order over the shorter length, bytes compared as unsigned; on an equal prefix
  // the shorter string comes first. Negative, zero or positive.
  int Compare(const StringBase& other) const noexcept { return m_text.compare(other.m_text); }

  // Strips the characters of `chars` at the start, the end or both (TrimMode).
  StringBase& Trim(const char* chars, int mode);

  // printf-style formatting; replaces the content.
  StringBase& Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
  StringBase& FormatV(const char* format, std::va_list args);

  // Fields between the separator characters; adjacent separators give empty fields.
  std::vector<StringBase> Split(const char* separators) const;

  friend bool operator==(const StringBase& a, const StringBase& b) noexcept { return a.m_text == b.m_text; }
  friend bool operator==(const StringBase& a, const char* b) noexcept { return a.m_text == (b ? b : ""); }
  friend bool operator<(const StringBase& a, const StringBase& b) noexcept { return a.m_text < b.m_text; }

  friend StringBase operator+(const StringBase& a, const StringBase& b) { return StringBase(a.m_text + b.m_text); }
  friend StringBase operator+(const StringBase& a, const char* b) { return StringBase(a.m_text + (b ? b : "")); }
  friend StringBase operator+(const char* a, const StringBase& b) { return StringBase((a ? a : "") + b.m_text); }

 private:
  std::string m_text;
};

}  // namespace Port
