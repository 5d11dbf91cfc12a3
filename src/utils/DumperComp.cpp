#include "utils/DumperComp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdint>
#include <ctime>
#include <string_view>

#include "Hvd/Status.h"
#include "Port/MessageText.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "utils/DmUtils.h"

namespace Hvd {
namespace {

using String = Port::StringBase<char>;

bool IsXmlChar(char32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
         cp >= 0x10000;
}

bool IsNameStartChar(char32_t cp) {
  return cp == ':' || cp == '_' || (cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z') ||
         (cp >= 0xC0 && cp <= 0xD6) || (cp >= 0xD8 && cp <= 0xF6) || (cp >= 0xF8 && cp <= 0x2FF) ||
         (cp >= 0x370 && cp <= 0x37D) || (cp >= 0x37F && cp <= 0x1FFF) || (cp >= 0x200C && cp <= 0x200D) ||
         (cp >= 0x2070 && cp <= 0x218F) || (cp >= 0x2C00 && cp <= 0x2FEF) || (cp >= 0x3001 && cp <= 0xD7FF) ||
         (cp >= 0xF900 && cp <= 0xFDCF) || (cp >= 0xFDF0 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0xEFFFF);
}

bool IsNameChar(char32_t cp) {
  return IsNameStartChar(cp) || cp == '-' || cp == '.' || (cp >= '0' && cp <= '9') || cp == 0xB7 ||
         (cp >= 0x300 && cp <= 0x36F) || (cp >= 0x203F && cp <= 0x2040);
}

// XML 1.0's Name production on UTF-8 text. Names cannot be escaped, so a name that is not
// one has to be refused for the trace to stay parseable.
bool IsXmlName(const std::string& s) {
  if (s.empty()) return false;
  for (std::size_t i = 0; i < s.size();) {
    char32_t cp = 0;
    const std::size_t length = Port::DecodeUtf8(std::string_view(s).substr(i), &cp);
    if (length == 0 || !(i == 0 ? IsNameStartChar(cp) : IsNameChar(cp))) return false;
    i += length;
  }
  return true;
}

// Markup characters become entities. Bytes that XML 1.0 cannot hold (control characters
// other than tab and line breaks, U+FFFE/U+FFFF, bytes that are not UTF-8) are written as
// the visible text "\xNN", so that the trace stays readable and every file parses; this
// form is for reading only and is not undone anywhere. A reader turns CR into LF, and in an
// attribute value tab and line breaks into spaces, so those are written as references.
String Escape(const String& raw, bool inAttribute) {
  static constexpr char kHex[] = "0123456789abcdef";
  const std::string& s = raw.str();
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    switch (s[i]) {
      case '&': out += "&amp;"; ++i; continue;
      case '<': out += "&lt;"; ++i; continue;
      case '>': out += "&gt;"; ++i; continue;
      case '"': out += "&quot;"; ++i; continue;
      case '\r': out += "&#13;"; ++i; continue;
      case '\t': out += inAttribute ? "&#9;" : "\t"; ++i; continue;
      case '\n': out += inAttribute ? "&#10;" : "\n"; ++i; continue;
      default: break;
    }
    char32_t cp = 0;
    const std::size_t length = Port::DecodeUtf8(std::string_view(s).substr(i), &cp);
    if (length != 0 && IsXmlChar(cp)) {
      out.append(s, i, length);
      i += length;
      continue;
    }
    for (std::size_t end = i + (length != 0 ? length : 1); i < end; ++i) {
      const auto b = static_cast<unsigned char>(s[i]);
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    }
  }
  return String(std::move(out));
}

// Seconds since the epoch as decimal digits.
String Timestamp() {
  String text;
  text.Format("%" PRId64, static_cast<std::int64_t>(std::time(nullptr)));
  return text;
}

// The dumper registered under `name`, with a reference; null when there is none.
Prjrep::AutoRelease<IDumper> FindDumper(const String& name) {
  CitI::IInterface* found = nullptr;
  std::ignore = FindNamedObject(name.c_str(), &found);
  return Prjrep::AutoRelease<IDumper>(found);
}

String WithSlashes(String text) {
  for (char& c : text.str()) {
    if (c == '\\') c = '/';
  }
  return text;
}

}  // namespace

Hvd::Status DumperComp::Open(const String& path) {
  // A second open would fail on the stream and spoil the file already being written.
  if (m_stream.is_open()) return kFailure;
  // Only a regular file is appended to: the stream's own open would wait on a FIFO for good.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  struct stat info {};
  const bool regular = fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (fd >= 0) ::close(fd);
  if (!regular) return kFailure;
  m_stream.open(path.str(), std::ios::out | std::ios::app);
  std::ignore = BeginElement("Dumper");
  return m_stream.is_open() ? kSuccess : kFailure;
}

Hvd::Status DumperComp::Close() {
  while (m_stream.is_open() && !m_elements.empty()) EndInnermost();
  m_elements.clear();
  m_startTagOpen = false;
  m_stream.close();
  return kSuccess;
}

Hvd::Status DumperComp::BeginElement(const String& name) {
  if (!m_stream.is_open() || !IsXmlName(name.str())) return kFailure;
  CloseStartTag();
  m_elements.push_back(name);
  m_attributeNames.clear();
  Write("<" + name.str() + " ");
  m_startTagOpen = true;
  return kSuccess;
}

Hvd::Status DumperComp::EndElement() {
  // The root is Close's to end: an unmatched end would otherwise end it early, and every
  // later element would land after it, where no parser accepts it.
  if (m_elements.size() < 2 || !m_stream.is_open()) return kFailure;
  EndInnermost();
  return kSuccess;
}

void DumperComp::EndInnermost() {
  const String name = std::move(m_elements.back());
  m_elements.pop_back();
  Write(m_startTagOpen ? std::string("/>\n") : "</" + name.str() + ">\n");
  m_startTagOpen = false;
}

Hvd::Status DumperComp::AddAttribute(const String& name, const String& value) {
  if (!m_startTagOpen || !m_stream.is_open() || !IsXmlName(name.str())) return kFailure;
  // A repeated attribute makes the element, and with it the trace, unparseable.
  if (!m_attributeNames.insert(name.str()).second) return kFailure;
  Write("\n  " + name.str() + "=\"" + Escape(value, true).str() + "\"");
  return kSuccess;
}

Hvd::Status DumperComp::AddText(const String& text) {
  CloseStartTag();
  Write(Escape(text, false).str());
  return kSuccess;
}

void DumperComp::WriteRaw(const String& text) { Write(text.str()); }

bool DumperComp::IsClosed() { return !m_stream.is_open(); }

void DumperComp::Write(const std::string& text) {
  if (m_stream.is_open()) m_stream.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void DumperComp::CloseStartTag() {
  if (m_startTagOpen) Write(">");
  m_startTagOpen = false;
}

// --- Trace calls ------------------------------------------------------------------------

void DumpNote(const String& dumperName, const String& message) {
  DumpNoteAttribute(dumperName, "message", message);
}

void DumpNoteAttribute(const String& dumperName, const String& attributeName, const String& value) {
  Prjrep::AutoRelease<IDumper> dumper = FindDumper(dumperName);
  if (dumper.Get() == nullptr) return;
  const String timestamp = Timestamp();
  std::ignore = dumper->BeginElement("note");
  std::ignore = dumper->AddAttribute("timestamp", timestamp);
  std::ignore = dumper->AddAttribute(attributeName, value);
  std::ignore = dumper->EndElement();
}

void DumpBeginMarker(const String& dumperName, const String& taskName) {
  Prjrep::AutoRelease<IDumper> dumper = FindDumper(dumperName);
  if (dumper.Get() == nullptr) return;
  const String timestamp = Timestamp();
  std::ignore = dumper->BeginElement("task");
  std::ignore = dumper->AddAttribute("name", taskName);
  std::ignore = dumper->BeginElement("begin_marker");
  std::ignore = dumper->AddAttribute("timestamp", timestamp);
  std::ignore = dumper->EndElement();
}

void DumpEndMarker(const String& dumperName) {
  Prjrep::AutoRelease<IDumper> dumper = FindDumper(dumperName);
  if (dumper.Get() == nullptr) return;
  const String timestamp = Timestamp();
  std::ignore = dumper->BeginElement("end_marker");
  std::ignore = dumper->AddAttribute("timestamp", timestamp);
  std::ignore = dumper->EndElement();
  std::ignore = dumper->EndElement();
}

ScopedDumpMarker::ScopedDumpMarker(const String& dumperName, const String& taskName) : m_dumperName(dumperName) {
  DumpBeginMarker(m_dumperName, taskName);
}

ScopedDumpMarker::~ScopedDumpMarker() { DumpEndMarker(m_dumperName); }

void ScopedDumpMarker::Note(const String& message) const { DumpNote(m_dumperName, WithSlashes(message)); }

void ScopedDumpMarker::NoteAttribute(const String& attributeName, const String& value) const {
  DumpNoteAttribute(m_dumperName, attributeName, WithSlashes(value));
}

}  // namespace Hvd
