#include "projectfiles/metrion/XmlWriter.h"

#include <cstdint>
#include <ctime>

#include "Port/MessageText.h"
#include "Port/StringBase.h"
#include "Port/Time.h"
#include "core/AtomicFile.h"

namespace MtnC {

namespace {

bool IsXmlChar(char32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
         (cp >= 0x10000 && cp <= 0x10FFFF);
}

// The current local time as the C library's ctime gives it, without the line feed.
std::string CTimeNow() {
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  Port::StringBase<char> text;
  UT_TIME::CTime(&now, text);
  std::string trimmed = text.str();
  const auto first = trimmed.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  trimmed.erase(0, first);
  trimmed.erase(trimmed.find_last_not_of(" \t\r\n") + 1);
  return trimmed;
}

bool StartsWith(const char* text, const char* word) {
  for (; *word != 0; ++text, ++word) {
    if (*text != *word) return false;
  }
  return true;
}

}  // namespace

std::string EscapeAttribute(const std::string& text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    switch (text[i]) {
      case '&': out += "&amp;"; ++i; continue;
      case '<': out += "&lt;"; ++i; continue;
      case '>': out += "&gt;"; ++i; continue;
      case '"': out += "&quot;"; ++i; continue;
      case '\t': out += "&#9;"; ++i; continue;
      case '\n': out += "&#10;"; ++i; continue;
      case '\r': out += "&#13;"; ++i; continue;
      default: break;
    }
    char32_t cp = 0;
    const std::size_t length = Port::DecodeUtf8(std::string_view(text).substr(i), &cp);
    if (length != 0 && IsXmlChar(cp)) {
      out.append(text, i, length);
      i += length;
      continue;
    }
    for (const std::size_t end = i + (length != 0 ? length : 1); i < end; ++i) {
      const auto b = static_cast<unsigned char>(text[i]);
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    }
  }
  return out;
}

XmlWriter::XmlWriter(const std::string& application, const std::string& directory)
    : m_application(application), m_folder(directory) {
  m_fileName = "metrion_" + application + ".xml";
  if (!directory.empty()) m_fileName = directory + "/" + m_fileName;
}

XmlWriter::XmlWriter(const std::string& application) : XmlWriter(application, std::string()) {}

void XmlWriter::WriteHeader() {
  m_buffer += "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n";
  m_buffer += "<document>\n";
  m_buffer += "<!--The data in this file is primarily intended for consumption by Velmor tools.\n";
  m_buffer += "The structure and the elements are likely to change over the next few releases.\n";
  m_buffer += "This means code written to parse this file will need to be revisited each subsequent release.-->\n";
  m_buffer += "<application name=\"" + EscapeAttribute(m_application) + "\" timeStamp=\"" +
              EscapeAttribute(CTimeNow()) + "\">\n";
}

void XmlWriter::BeginSection(const std::string& name, bool visible) {
  WriteElement("section", name, std::string(), std::string(), visible ? " visible=\"true\"" : " visible=\"false\"");
}

void XmlWriter::EndSection() { WriteClosing("section"); }

void XmlWriter::BeginItem(const std::string& name) { WriteElement("item", name, std::string(), std::string()); }

void XmlWriter::EndItem() { WriteClosing("item"); }

void XmlWriter::AddProperty(const std::string& name, const std::string& value, const std::string& type) {
  WriteElement("property", name, value, type);
}

bool XmlWriter::WriteFile(std::string* message) {
  m_buffer += "</application>\n";
  m_buffer += "</document>\n";
  // A report the project writes on its own: a link at its name is kept to its folder.
  return Hvd::WriteOwnFileAtomically(m_fileName, m_buffer, m_folder, message) == Hvd::kSuccess;
}

void XmlWriter::WriteElement(const char* tag, const std::string& name, const std::string& value,
                             const std::string& type, const char* extra) {
  m_buffer += '<';
  m_buffer += tag;
  m_buffer += " name=\"" + EscapeAttribute(name) + "\"";
  if (StartsWith(tag, "property")) {
    m_buffer += " value=\"" + EscapeAttribute(value) + "\"";
    if (!type.empty()) m_buffer += " type=\"" + EscapeAttribute(type) + "\"";
    m_buffer += "/>\n";
    return;
  }
  m_buffer += extra;
  m_buffer += ">\n";
}

void XmlWriter::WriteClosing(const char* tag) {
  m_buffer += "</";
  m_buffer += tag;
  m_buffer += ">\n";
}

}  // namespace MtnC
