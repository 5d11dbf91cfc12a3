// The scanner's entry points: the language of a path, reading a file, and the guard against binary
// text before either language scanner sees it.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "ScanCommon.h"

namespace Hdl::scan {

namespace {

bool EndsWithFolded(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && detail::EqualsFolded(text.substr(text.size() - suffix.size()), suffix);
}

// Larger files are not design sources; reading them whole would only exhaust memory.
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 30;

}  // namespace

std::string ScopedLabel(const Unit& unit, const Reference& reference) {
  std::vector<const std::string*> labels;
  for (std::uint32_t at = reference.scope; at < unit.scopes.size(); at = unit.scopes[at].parent) {
    labels.push_back(&unit.scopes[at].label);
  }
  std::string scoped;
  for (auto label = labels.rbegin(); label != labels.rend(); ++label) scoped += **label + "/";
  return scoped + reference.label;
}

Language LanguageOfPath(std::string_view path) {
  for (const char* ext : {".vhd", ".vhdl", ".vho"}) {
    if (EndsWithFolded(path, ext)) return Language::kVhdl;
  }
  for (const char* ext : {".sv", ".svh", ".svp"}) {
    if (EndsWithFolded(path, ext)) return Language::kSystemVerilog;
  }
  for (const char* ext : {".v", ".vh", ".vlg", ".vo", ".verilog"}) {
    if (EndsWithFolded(path, ext)) return Language::kVerilog;
  }
  return Language::kUnknown;
}

bool ParseVhdlStandard(std::string_view text, VhdlStandard* standard) {
  static constexpr struct {
    const char* shortName;
    const char* longName;
    VhdlStandard value;
  } kStandards[] = {{"87", "1987", VhdlStandard::k87},
                    {"93", "1993", VhdlStandard::k93},
                    {"02", "2002", VhdlStandard::k2002},
                    {"08", "2008", VhdlStandard::k2008},
                    {"19", "2019", VhdlStandard::k2019}};
  for (const auto& s : kStandards) {
    if (text == s.shortName || text == s.longName) {
      *standard = s.value;
      return true;
    }
  }
  return false;
}

const char* VhdlStandardName(VhdlStandard standard) {
  switch (standard) {
    case VhdlStandard::k87:
      return "87";
    case VhdlStandard::k93:
      return "93";
    case VhdlStandard::k2002:
      return "2002";
    case VhdlStandard::k2008:
      return "2008";
    case VhdlStandard::k2019:
      return "2019";
  }
  return "93";
}

const char* UnitTypeName(UnitKind kind) {
  switch (kind) {
    case UnitKind::kVhdlEntity:
      return "DESUT_VHDL_ENTITY";
    case UnitKind::kVhdlArchitecture:
      return "DESUT_VHDL_ARCHITECTURE";
    case UnitKind::kVhdlPackage:
      return "DESUT_VHDL_PACKAGE_DECL";
    case UnitKind::kVhdlPackageBody:
      return "DESUT_VHDL_PACKAGE_BODY";
    case UnitKind::kVhdlConfiguration:
      return "DESUT_VHDL_CONFIGURATION";
    case UnitKind::kVhdlContext:
      return "DESUT_VHDL_CONTEXT";
    case UnitKind::kVerilogModule:
      return "DESUT_VERILOG_MODULE";
    case UnitKind::kVerilogInterface:
      return "DESUT_VERILOG_INTERFACE";
    case UnitKind::kVerilogPackage:
      return "DESUT_VERILOG_PACKAGE";
    case UnitKind::kVerilogProgram:
      return "DESUT_VERILOG_PROGRAM";
    case UnitKind::kVerilogPrimitive:
      return "DESUT_VERILOG_PRIMITIVE";
  }
  return "";
}

bool IsVhdl(UnitKind kind) { return kind <= UnitKind::kVhdlContext; }

bool CanBeTop(UnitKind kind) {
  return kind == UnitKind::kVhdlEntity || kind == UnitKind::kVerilogModule || kind == UnitKind::kVerilogProgram;
}

ReadStatus ReadDiskFile(const std::string& path, std::string* text) {
  text->clear();
  // Opened without blocking: a FIFO or a device would otherwise wait in the open for a writer,
  // before the check below could refuse it. What is read is always a regular file, which reads
  // the same with or without the flag.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadStatus::kMissing : ReadStatus::kUnreadable;
  struct Closing {
    int fd;
    ~Closing() { ::close(fd); }
  } closing{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return ReadStatus::kUnreadable;
  if (static_cast<std::size_t>(info.st_size) > kMaxFileBytes) return ReadStatus::kUnreadable;
  text->resize(static_cast<std::size_t>(info.st_size));
  std::size_t got = 0;
  while (got < text->size()) {
    const ssize_t read = ::read(fd, text->data() + got, text->size() - got);
    if (read < 0 && errno == EINTR) continue;
    if (read < 0) return ReadStatus::kUnreadable;
    if (read == 0) break;  // the file may have shrunk since
    got += static_cast<std::size_t>(read);
  }
  text->resize(got);
  return ReadStatus::kOk;
}

ReadStatus ReadSource(const Reader& reader, const std::string& path, std::string* text) {
  return reader ? reader(path, text) : ReadDiskFile(path, text);
}

namespace detail {

std::string NormalizePath(std::string_view path) {
  const bool absolute = !path.empty() && path[0] == '/';
  std::vector<std::string_view> steps;
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t slash = path.find('/', at);
    if (slash == std::string_view::npos) slash = path.size();
    const std::string_view step = path.substr(at, slash - at);
    at = slash + 1;
    if (step.empty() || step == ".") continue;
    if (step == ".." && !steps.empty() && steps.back() != "..") {
      steps.pop_back();
    } else if (step != ".." || !absolute) {
      steps.push_back(step);
    }
  }
  std::string normal = absolute ? "/" : "";
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (i > 0) normal.push_back('/');
    normal.append(steps[i]);
  }
  if (normal.empty()) normal = ".";
  return normal;
}

std::string JoinPath(std::string_view directory, std::string_view name) {
  if (directory.empty() || (!name.empty() && name[0] == '/')) return NormalizePath(name);
  std::string joined(directory);
  if (joined.back() != '/') joined.push_back('/');
  joined.append(name);
  return NormalizePath(joined);
}

}  // namespace detail

namespace {

// Whether `text` holds anything but blanks, comments and, in Verilog, compiler directives (a
// header of macros is text of no unit by design).
bool HoldsDesignText(std::string_view text, Language language) {
  const bool verilog = language != Language::kVhdl;
  bool lineStart = true;
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    if (c == '\n') {
      lineStart = true;
      ++at;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
      ++at;
    } else if (text.compare(at, 2, verilog ? "//" : "--") == 0) {
      at = std::min(text.find('\n', at), text.size());
    } else if (text.compare(at, 2, "/*") == 0) {
      const std::size_t end = text.find("*/", at + 2);
      at = end == std::string_view::npos ? text.size() : end + 2;
    } else if (verilog && lineStart && c == '`') {
      // The directive's line, and the lines a backslash continues it on.
      std::size_t end = at;
      do {
        end = text.find('\n', end);
        if (end == std::string_view::npos) return false;
      } while (end > 0 && text[end - 1] == '\\' && ++end);
      at = end;
    } else {
      return true;
    }
  }
  return false;
}

}  // namespace

ScanResult ScanText(std::string_view text, Language language, std::string_view path, const ScanOptions& options) {
  ScanResult result;
  if (language == Language::kNone) return result;
  if (language == Language::kAuto) language = LanguageOfPath(path);
  if (language == Language::kUnknown) {
    detail::AddMessage(result, MessageKind::kUnknownLanguage, Severity::kError, path, 0,
                       "not a VHDL or Verilog file by its extension");
    return result;
  }
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  // A NUL byte never belongs to design text: only what comes before it is read.
  if (const void* nul = std::memchr(text.data(), '\0', text.size())) {
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(nul) - text.data());
    detail::LineCounter lines(text);
    detail::AddMessage(result, MessageKind::kBinary, Severity::kError, path, lines.LineOf(at),
                       at == 0 ? "binary file" : "binary data: only the text before it is read");
    text = text.substr(0, at);
  }
  if (language == Language::kVhdl) {
    detail::ScanVhdl(text, path, options, result);
  } else {
    detail::ScanVerilog(text, path, options, result);
  }
  // Text in which nothing was found, and nothing said about why, would go unnoticed.
  const bool told = std::any_of(result.messages.begin(), result.messages.end(),
                                [&](const Message& message) { return message.path == path; });
  if (result.units.empty() && !told && HoldsDesignText(text, language))
    detail::AddMessage(result, MessageKind::kNoUnit, Severity::kWarning, path, 0, "no design unit found in the file");
  return result;
}

ScanResult ScanFile(const std::string& path, Language language, const ScanOptions& options) {
  if (language == Language::kAuto) language = LanguageOfPath(path);
  if (language == Language::kUnknown || language == Language::kNone) return ScanText({}, language, path, options);
  std::string text;
  const ReadStatus status = ReadSource(options.reader, path, &text);
  if (status != ReadStatus::kOk) {
    ScanResult result;
    const bool missing = status == ReadStatus::kMissing;
    detail::AddMessage(result, missing ? MessageKind::kMissingFile : MessageKind::kUnreadable, Severity::kError, path,
                       0, missing ? "file not found" : "file cannot be read");
    return result;
  }
  return ScanText(text, language, path, options);
}

}  // namespace Hdl::scan
