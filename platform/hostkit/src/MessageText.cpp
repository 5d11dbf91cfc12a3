#include "Port/MessageText.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <type_traits>

namespace Port {
namespace {

// One conversion as printf writes it; `spec` holds no '*', their values are written in.
template <class T>
void Put(std::string& out, const std::string& spec, T value) {
  char small[64];
  const int needed = std::snprintf(small, sizeof small, spec.c_str(), value);
  if (needed < 0) return;
  if (static_cast<std::size_t>(needed) < sizeof small) {
    out.append(small, static_cast<std::size_t>(needed));
    return;
  }
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(needed) + 1);
  std::snprintf(out.data() + at, static_cast<std::size_t>(needed) + 1, spec.c_str(), value);
  out.resize(at + static_cast<std::size_t>(needed));
}

// A string value, escaped first and padded after, so that the width counts what is shown.
void PutString(std::string& out, const char* value, int width, bool left, int precision) {
  std::string_view text;
  if (value == nullptr) {
    text = precision < 0 || precision >= 6 ? "(null)" : "";  // as glibc writes it
  } else {
    // Within the precision only: the value need not end there.
    text = std::string_view(value, precision < 0 ? std::strlen(value)
                                                 : strnlen(value, static_cast<std::size_t>(precision)));
  }
  const std::string shown = EscapeControls(text);
  const auto wanted = static_cast<std::size_t>(std::max(width, 0));
  const std::size_t pad = wanted > shown.size() ? wanted - shown.size() : 0;
  if (!left) out.append(pad, ' ');
  out += shown;
  if (left) out.append(pad, ' ');
}

// A width or precision of digits, held below INT_MAX as printf holds it.
int Digits(const char*& p, std::string& spec) {
  long long value = 0;
  while (*p >= '0' && *p <= '9') {
    value = std::min<long long>(value * 10 + (*p - '0'), INT_MAX);
    spec += *p++;
  }
  return static_cast<int>(value);
}

}  // namespace

std::size_t DecodeUtf8(std::string_view text, char32_t* character) {
  if (text.empty()) return 0;
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = at(0);
  if (lead < 0x80) {
    *character = lead;
    return 1;
  }
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xbf;  // the range of the second byte, the others' is 80-bf
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) low = 0xa0;
    if (lead == 0xed) high = 0x9f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) low = 0x90;
    if (lead == 0xf4) high = 0x8f;
  } else {
    return 0;
  }
  if (text.size() < length || at(1) < low || at(1) > high) return 0;
  char32_t value = lead & (0x7f >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if (at(i) < 0x80 || at(i) > 0xbf) return 0;
    value = (value << 6) | (at(i) & 0x3f);
  }
  *character = value;
  return length;
}

std::string EscapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  // \xHH names a byte, \uHHHH a character (whatever bytes encode it).
  const auto escape = [&out](char kind, char32_t value, int digits) {
    static const char kHex[] = "0123456789abcdef";
    out += '\\';
    out += kind;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xf];
  };
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    const auto byte = static_cast<unsigned char>(c);
    char32_t character = 0;
    const std::size_t length = byte >= 0x80 ? DecodeUtf8(text.substr(at), &character) : 0;
    if (length != 0) {
      // A whole character, kept unless it is a C1 control or a line or paragraph separator.
      if (character <= 0x9f || character == 0x2028 || character == 0x2029) escape('u', character, 4);
      else out.append(text.substr(at, length));
      at += length;
      continue;
    }
    ++at;
    // A byte 0x80-0x9f outside a character is a C1 control to an 8-bit terminal (a Latin-1 name).
    // Escaped, it cannot join the bytes around it into one of the characters escaped above either.
    if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (byte < 0x20 || (byte >= 0x7f && byte <= 0x9f)) escape('x', byte, 2);
    else out += c;
  }
  return out;
}

std::string FormatMessage(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::string text = FormatMessageV(format, args);
  va_end(args);
  return text;
}

std::string FormatMessageV(const char* format, std::va_list args) {
  std::string out;
  if (format == nullptr) return out;
  // Each conversion takes its own argument by the type its letters name, as printf would; the
  // format attribute of the callers has checked those types.
  std::va_list ap;
  va_copy(ap, args);
  const char* at = format;
  while (*at != '\0') {
    const char* percent = std::strchr(at, '%');
    if (percent == nullptr) {
      out += at;
      break;
    }
    out.append(at, percent);
    const char* p = percent + 1;
    if (*p == '%') {
      out += '%';
      at = p + 1;
      continue;
    }
    std::string spec = "%";
    bool left = false;
    while (*p != '\0' && std::strchr("-+ #0'I", *p) != nullptr) {
      left = left || *p == '-';
      spec += *p++;
    }
    int width = 0;
    if (*p == '*') {
      ++p;
      const long long given = va_arg(ap, int);
      left = left || given < 0;
      width = static_cast<int>(std::min<long long>(given < 0 ? -given : given, INT_MAX));
      spec += (given < 0 ? "-" : "") + std::to_string(width);
    } else {
      width = Digits(p, spec);
    }
    int precision = -1;
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        ++p;
        precision = va_arg(ap, int);  // a negative one is as if none were given
        if (precision >= 0) spec += "." + std::to_string(precision);
      } else {
        spec += '.';
        precision = Digits(p, spec);
      }
    }
    std::string length;
    while (*p != '\0' && std::strchr("hlqLjzZt", *p) != nullptr) length += *p++;
    spec += length;
    const char conversion = *p;
    spec += conversion;
    const bool isLong = length == "l";
    const bool isLongLong = length == "ll" || length == "q" || length == "L";
    switch (conversion) {
      case 'd':
      case 'i':
        if (isLong) Put(out, spec, va_arg(ap, long));
        else if (isLongLong) Put(out, spec, va_arg(ap, long long));
        else if (length == "j") Put(out, spec, va_arg(ap, std::intmax_t));
        else if (length == "z" || length == "Z") Put(out, spec, va_arg(ap, std::make_signed_t<std::size_t>));
        else if (length == "t") Put(out, spec, va_arg(ap, std::ptrdiff_t));
        else Put(out, spec, va_arg(ap, int));  // hh and h come promoted to int
        break;
      case 'o':
      case 'u':
      case 'x':
      case 'X':
        if (isLong) Put(out, spec, va_arg(ap, unsigned long));
        else if (isLongLong) Put(out, spec, va_arg(ap, unsigned long long));
        else if (length == "j") Put(out, spec, va_arg(ap, std::uintmax_t));
        else if (length == "z" || length == "Z") Put(out, spec, va_arg(ap, std::size_t));
        else if (length == "t") Put(out, spec, va_arg(ap, std::ptrdiff_t));
        else Put(out, spec, va_arg(ap, unsigned int));
        break;
      case 'e':
      case 'E':
      case 'f':
      case 'F':
      case 'g':
      case 'G':
      case 'a':
      case 'A':
        if (length == "L") Put(out, spec, va_arg(ap, long double));
        else Put(out, spec, va_arg(ap, double));
        break;
      case 'c':
        if (isLong) Put(out, spec, va_arg(ap, std::wint_t));
        else Put(out, spec, va_arg(ap, int));
        break;
      case 'p':
        Put(out, spec, va_arg(ap, void*));
        break;
      case 's':
        if (isLong) {
          std::string wide;
          Put(wide, spec, va_arg(ap, const wchar_t*));
          out += EscapeControls(wide);
        } else {
          PutString(out, va_arg(ap, const char*), width, left, precision);
        }
        break;
      case 'm':
        Put(out, spec, 0);  // takes no argument: errno's text
        break;
      case 'n':
        static_cast<void>(va_arg(ap, void*));  // nothing is written through it
        break;
      default:
        // A positional or unknown conversion: no argument is guessed at from here on.
        out += percent;
        va_end(ap);
        return out;
    }
    at = p + 1;
  }
  va_end(ap);
  return out;
}

}  // namespace Port
