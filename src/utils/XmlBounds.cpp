#include "utils/XmlBounds.h"

#include <xercesc/framework/XMLRecognizer.hpp>

namespace X = xercesc;

namespace Hvd::Xml {

namespace {

// The code units of the text, `kWidth` bytes each in the given byte order, from `start` on.
template <std::size_t kWidth, bool kBigEndian>
class Units {
 public:
  Units(std::string_view bytes, std::size_t startByte) noexcept
      : m_bytes(reinterpret_cast<const unsigned char*>(bytes.data())),
        m_size(bytes.size() / kWidth),
        m_start(startByte / kWidth) {}
  std::size_t Start() const noexcept { return m_start; }
  std::size_t Size() const noexcept { return m_size; }
  char32_t operator[](std::size_t i) const noexcept {
    const unsigned char* p = m_bytes + i * kWidth;
    char32_t c = 0;
    for (std::size_t k = 0; k < kWidth; ++k) c = (c << 8) | p[kBigEndian ? k : kWidth - 1 - k];
    return c;
  }

 private:
  const unsigned char* m_bytes;
  std::size_t m_size;
  std::size_t m_start;
};

bool IsSpace(char32_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// Whether `at` starts the ASCII text `word`.
template <class Text>
bool Matches(const Text& text, std::size_t at, std::string_view word) {
  if (at + word.size() > text.Size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k) {
    if (text[at + k] != static_cast<char32_t>(word[k])) return false;
  }
  return true;
}

// The position just past `end` from `at` on, or the end of the text.
template <class Text>
std::size_t Past(const Text& text, std::size_t at, std::string_view end) {
  for (; at < text.Size(); ++at) {
    if (text[at] == static_cast<char32_t>(end[0]) && Matches(text, at, end)) return at + end.size();
  }
  return text.Size();
}

// The encoding an XML declaration at the start names, upper-cased; empty when none is named.
template <class Text>
std::string DeclaredEncoding(const Text& text) {
  std::size_t at = text.Start();
  if (!Matches(text, at, "<?xml") || at + 5 >= text.Size() || !IsSpace(text[at + 5])) return {};
  const std::size_t end = Past(text, at, "?>");
  for (at += 5; at < end; ++at) {
    if (!Matches(text, at, "encoding")) continue;
    at += 8;
    while (at < end && (IsSpace(text[at]) || text[at] == '=')) ++at;
    if (at >= end || (text[at] != '"' && text[at] != '\'')) return {};
    const char32_t quote = text[at++];
    std::string name;
    for (; at < end && text[at] != quote && name.size() < 64; ++at) {
      name += text[at] < 0x80 ? Upper(static_cast<char>(text[at])) : '?';
    }
    return name;
  }
  return {};
}

// Whether a byte-wise reading of a document in `name` finds its markup: true of UTF-8 and of
// the single-byte sets that keep ASCII where it is.
bool ByteTransparent(const std::string& name) {
  if (name.empty() || name == "UTF-8" || name == "UTF8" || name == "US-ASCII" || name == "ASCII") return true;
  for (std::string_view family : {"ISO-8859-", "ISO8859-", "ISO_8859-", "WINDOWS-125", "CP125", "LATIN"}) {
    if (StartsWith(name, family)) return true;
  }
  return false;
}

bool IsWideUnicode(const std::string& name) {
  return name.empty() || StartsWith(name, "UTF-16") || StartsWith(name, "UTF16") || StartsWith(name, "UCS-4") ||
         StartsWith(name, "UCS4") || StartsWith(name, "UTF-32") || StartsWith(name, "ISO-10646-UCS");
}

// One pass over the markup: comments, processing instructions, CDATA sections and
// declarations are stepped over; attribute values may hold '>' and '/'.
template <class Text>
std::string CheckMarkup(const Text& text) {
  std::size_t depth = 0;
  std::size_t at = text.Start();
  const std::size_t size = text.Size();
  while (at < size) {
    if (text[at++] != '<' || at >= size) continue;
    const char32_t c = text[at];
    if (c == '/') {
      if (depth > 0) --depth;
      at = Past(text, at, ">");
    } else if (c == '?') {
      at = Past(text, at, "?>");
    } else if (c == '!') {
      if (Matches(text, at, "!--")) {
        at = Past(text, at + 3, "-->");
      } else if (Matches(text, at, "![CDATA[")) {
        at = Past(text, at, "]]>");
      } else {
        for (char32_t quote = 0; at < size && (quote != 0 || text[at] != '>'); ++at) {
          if (text[at] == quote) {
            quote = 0;
          } else if (quote == 0 && (text[at] == '"' || text[at] == '\'')) {
            quote = text[at];
          }
        }
      }
    } else {
      if (++depth > kMaxElementDepth) {
        return "elements nest deeper than " + std::to_string(kMaxElementDepth) + " levels";
      }
      std::size_t attributes = 0;
      char32_t quote = 0;
      for (; at < size; ++at) {
        const char32_t u = text[at];
        if (quote != 0) {
          if (u == quote) quote = 0;
        } else if (u == '"' || u == '\'') {
          quote = u;
        } else if (u == '=') {
          if (++attributes > kMaxAttributes) {
            return "an element has more than " + std::to_string(kMaxAttributes) + " attributes";
          }
        } else if (u == '>') {
          if (text[at - 1] == '/') --depth;  // an empty element closes itself
          break;
        }
      }
    }
  }
  return {};
}

template <std::size_t kWidth, bool kBigEndian>
std::string CheckUnits(std::string_view bytes, std::size_t bomBytes) {
  const Units<kWidth, kBigEndian> text(bytes, bomBytes);
  const std::string encoding = DeclaredEncoding(text);
  if (kWidth == 1 ? !ByteTransparent(encoding) : !IsWideUnicode(encoding)) {
    return "documents in the encoding \"" + encoding + "\" are not read";
  }
  return CheckMarkup(text);
}

}  // namespace

std::string CheckBounds(std::string_view bytes) {
  using R = X::XMLRecognizer;
  // The parser senses the encoding the same way, so both read the same characters.
  switch (R::basicEncodingProbe(reinterpret_cast<const XMLByte*>(bytes.data()), bytes.size())) {
    case R::UTF_16B:
      return CheckUnits<2, true>(bytes, StartsWith(bytes, "\xFE\xFF") ? 2 : 0);
    case R::UTF_16L:
      return CheckUnits<2, false>(bytes, StartsWith(bytes, "\xFF\xFE") ? 2 : 0);
    case R::UCS_4B:
      return CheckUnits<4, true>(bytes, StartsWith(bytes, std::string_view("\0\0\xFE\xFF", 4)) ? 4 : 0);
    case R::UCS_4L:
      return CheckUnits<4, false>(bytes, StartsWith(bytes, std::string_view("\xFF\xFE\0\0", 4)) ? 4 : 0);
    case R::UTF_8:
    case R::US_ASCII:
      return CheckUnits<1, false>(bytes, StartsWith(bytes, "\xEF\xBB\xBF") ? 3 : 0);
    default:
      return "documents in EBCDIC are not read";
  }
}

}  // namespace Hvd::Xml
