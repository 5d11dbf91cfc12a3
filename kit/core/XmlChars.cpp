#include "core/XmlChars.h"

#include <cstdio>

#include "Port/MessageText.h"
#include "Port/MsgMan.h"

namespace Hvd {

std::size_t FindXmlUnfit(std::string_view text) noexcept {
  // Byte by byte: no byte of a multi-byte sequence is below 0x80, and EF never continues one, so
  // EF BF BE and EF BF BF are U+FFFE and U+FFFF wherever they stand, as the writers decode them.
  for (std::size_t at = 0; at < text.size(); ++at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') return at;
    if (byte == 0xEF && text.size() - at > 2 && static_cast<unsigned char>(text[at + 1]) == 0xBF &&
        (static_cast<unsigned char>(text[at + 2]) & 0xFE) == 0xBE)
      return at;
  }
  return std::string_view::npos;
}

std::size_t FindNonUtf8(std::string_view text) noexcept {
  char32_t character = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = Port::DecodeUtf8(text.substr(at), &character);
    if (length == 0) return at;
    at += length;
  }
  return std::string_view::npos;
}

std::string NonUtf8Name(std::string_view text, std::size_t at) {
  if (at >= text.size()) return std::string();
  char shown[8];
  std::snprintf(shown, sizeof shown, "\\x%02x", static_cast<unsigned char>(text[at]));
  return std::string("the byte ") + shown + ", which is not UTF-8";
}

std::string XmlUnfitName(std::string_view text, std::size_t at) {
  if (at >= text.size()) return std::string();
  if (static_cast<unsigned char>(text[at]) < 0x20)
    return "the control character " + Port::EscapeControls(text.substr(at, 1));
  return text.size() - at > 2 && text[at + 2] == '\xBF' ? "the character U+FFFF" : "the character U+FFFE";
}

namespace {

// Tells the refusal of VALUE, which holds what `holds` names, and why.
bool Refuse(const char* category, std::string_view what, std::string_view value, const std::string& holds,
            const char* why) {
  const std::string refusal = Port::EscapeControls(what) + " \"" + Port::EscapeControls(value) + "\" is refused: it holds " +
                              holds + why;
  Port_MsgManData::createObject(category, "XmlChars", 0, "").issueComposed(Port_MsgManData::Severity::Error, refusal);
  return false;
}

}  // namespace

bool XmlFits(const char* category, std::string_view what, std::string_view value) {
  const std::size_t at = FindXmlUnfit(value);
  return at == std::string_view::npos ||
         Refuse(category, what, value, XmlUnfitName(value, at), ", which a project file cannot hold.\n");
}

bool Utf8Fits(const char* category, std::string_view what, std::string_view value) {
  const std::size_t at = FindNonUtf8(value);
  return at == std::string_view::npos ||
         Refuse(category, what, value, NonUtf8Name(value, at), ", and a project file would give it back as another name.\n");
}

bool NulFree(const char* category, std::string_view what, std::string_view value) {
  const std::size_t at = value.find('\0');
  return at == std::string_view::npos ||
         Refuse(category, what, value, XmlUnfitName(value, at), ", which would cut it short where the system reads it.\n");
}

}  // namespace Hvd
