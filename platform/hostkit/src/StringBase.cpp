#include "Port/StringBase.h"

#include <cstdio>
#include <cstring>

namespace Port {

StringBase<char>& StringBase<char>::Trim(const char* chars, int mode) {
  if (chars == nullptr || *chars == '\0') return *this;
  if (mode == kTrimTrailing || mode == kTrimBoth) {
    const auto end = m_text.find_last_not_of(chars);
    m_text.erase(end == std::string::npos ? 0 : end + 1);
  }
  if (mode == kTrimLeading || mode == kTrimBoth) {
    m_text.erase(0, m_text.find_first_not_of(chars));
  }
  return *this;
}

StringBase<char>& StringBase<char>::Format(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
  return *this;
}

StringBase<char>& StringBase<char>::FormatV(const char* format, std::va_list args) {
  m_text.clear();
  if (format == nullptr) return *this;
  std::va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (needed <= 0) return *this;
  m_text.resize(static_cast<std::size_t>(needed) + 1);
  std::vsnprintf(m_text.data(), m_text.size(), format, args);
  m_text.resize(static_cast<std::size_t>(needed));
  return *this;
}

std::vector<StringBase<char>> StringBase<char>::Split(const char* separators) const {
  std::vector<StringBase> fields;
  const std::string seps = separators ? separators : "";
  std::size_t start = 0;
  for (;;) {
    const auto at = seps.empty() ? std::string::npos : m_text.find_first_of(seps, start);
    fields.emplace_back(m_text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) break;
    start = at + 1;
  }
  return fields;
}

}  // namespace Port
