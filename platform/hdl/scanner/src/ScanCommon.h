#pragma once
// What both language scanners share: character classes, a keyword table, line numbers from
// offsets, and the names they fold.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "HdlScan/Scan.h"

namespace Hdl::scan::detail {

enum CharClass : std::uint8_t { kSpace = 1, kIdentStart = 2, kIdentChar = 4, kDigit = 8 };

struct CharTable {
  std::array<std::uint8_t, 256> bits{};
  constexpr CharTable() {
    for (int c : {' ', '\t', '\r', '\n', '\f', '\v'}) bits[c] = kSpace;
    for (int c = 'a'; c <= 'z'; ++c) bits[c] = kIdentStart | kIdentChar;
    for (int c = 'A'; c <= 'Z'; ++c) bits[c] = kIdentStart | kIdentChar;
    bits['_'] = kIdentStart | kIdentChar;
    for (int c = '0'; c <= '9'; ++c) bits[c] = kIdentChar | kDigit;
  }
};
inline constexpr CharTable kChars;

inline bool IsSpace(char c) { return kChars.bits[static_cast<unsigned char>(c)] & kSpace; }
inline bool IsIdentStart(char c) { return kChars.bits[static_cast<unsigned char>(c)] & kIdentStart; }
inline bool IsIdentChar(char c) { return kChars.bits[static_cast<unsigned char>(c)] & kIdentChar; }
inline bool IsDigit(char c) { return kChars.bits[static_cast<unsigned char>(c)] & kDigit; }
inline char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// VHDL folds basic identifiers; an extended identifier (\Name\) keeps its case.
inline std::string FoldVhdl(std::string_view name) {
  std::string folded(name);
  if (folded.empty() || folded[0] != '\\') {
    for (char& c : folded) c = Lower(c);
  }
  return folded;
}

inline bool EqualsFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// A small open-addressed table from keyword text to a code; codes start at 1, 0 is "not a keyword".
class KeywordTable {
 public:
  static constexpr std::size_t kMaxLength = 20;

  // Each entry names one or more words, separated by blanks, that share a code.
  explicit KeywordTable(std::initializer_list<std::pair<std::string_view, std::uint8_t>> groups) {
    for (auto [words, code] : groups) {
      while (!words.empty()) {
        const std::size_t end = std::min(words.find(' '), words.size());
        if (end > 0) Insert(words.substr(0, end), code);
        words.remove_prefix(std::min(end + 1, words.size()));
      }
    }
  }

  // The keywords are stored in lower case; `foldCase` matches text in any case (VHDL).
  std::uint8_t Find(const char* text, std::size_t length, bool foldCase) const {
    if (length == 0 || length > kMaxLength) return 0;
    std::uint32_t slot = foldCase ? Hash<true>(text, length) : Hash<false>(text, length);
    while (m_slots[slot].code != 0) {
      const Slot& s = m_slots[slot];
      if (s.length == length &&
          (foldCase ? EqualsFolded({s.text, length}, {text, length}) : std::memcmp(s.text, text, length) == 0)) {
        return s.code;
      }
      slot = (slot + 1) & kMask;
    }
    return 0;
  }

 private:
  static constexpr std::uint32_t kMask = 1023;
  void Insert(std::string_view word, std::uint8_t code) {
    if (word.size() > kMaxLength) return;  // never looked up
    std::uint32_t slot = Hash<false>(word.data(), word.size());
    while (m_slots[slot].code != 0) slot = (slot + 1) & kMask;
    m_slots[slot].code = code;
    m_slots[slot].length = static_cast<std::uint8_t>(word.size());
    std::memcpy(m_slots[slot].text, word.data(), word.size());
  }

  // From the length and three characters only: most names are no keywords, and are never folded whole.
  template <bool kFold>
  static std::uint32_t Hash(const char* text, std::size_t length) {
    auto at = [&](std::size_t i) {
      return static_cast<std::uint32_t>(static_cast<unsigned char>(kFold ? Lower(text[i]) : text[i]));
    };
    const std::uint32_t h = static_cast<std::uint32_t>(length) * 0x9E3779B1u ^ at(0) * 0x85EBCA6Bu ^
                            at(length / 2) * 0xC2B2AE35u ^ at(length - 1) * 0x27D4EB2Fu;
    return (h ^ (h >> 13)) & kMask;
  }
  struct Slot {
    std::uint8_t code = 0;
    std::uint8_t length = 0;
    char text[kMaxLength] = {};
  };
  std::array<Slot, kMask + 1> m_slots{};
};

// Line numbers for offsets of one text, counted from the last offset asked about.
class LineCounter {
 public:
  explicit LineCounter(std::string_view text = {}) : m_text(text) {}
  std::uint32_t LineOf(std::size_t offset) {
    offset = std::min(offset, m_text.size());
    const char* base = m_text.data();
    if (offset < m_offset) {
      m_line -= static_cast<std::uint32_t>(std::count(base + offset, base + m_offset, '\n'));
    } else {
      m_line += static_cast<std::uint32_t>(std::count(base + m_offset, base + offset, '\n'));
    }
    m_offset = offset;
    return m_line;
  }

 private:
  std::string_view m_text;
  std::size_t m_offset = 0;
  std::uint32_t m_line = 1;
};

// A file past this many messages says nothing new: the rest are left out, with one message saying so.
constexpr std::size_t kMaxMessages = 200;

inline void AddMessage(ScanResult& result, MessageKind kind, Severity severity, std::string_view path,
                       std::uint32_t line, std::string text) {
  if (result.messages.size() > kMaxMessages) return;
  if (result.messages.size() == kMaxMessages) {
    kind = MessageKind::kExpansionLimit;
    text = "more messages are left out";
  }
  Message message;
  message.kind = kind;
  message.severity = severity;
  message.path = std::string(path);
  message.line = line;
  message.text = std::move(text);
  result.messages.push_back(std::move(message));
}

// A macro as the options give it, "NAME" or "NAME=VALUE"; false for an empty name.
inline bool ParseMacroSetting(const std::string& setting, std::string* name, MacroDefinition* definition) {
  const std::size_t equals = setting.find('=');
  *name = setting.substr(0, equals);
  *definition = MacroDefinition{};
  if (equals != std::string::npos) definition->body = setting.substr(equals + 1);
  return !name->empty();
}

// The directory part of a '/' path, with its trailing separator; "" for a bare name.
inline std::string_view DirectoryOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view{} : path.substr(0, slash + 1);
}

// Removes "." steps, "dir/.." pairs and repeated separators, on the text alone.
std::string NormalizePath(std::string_view path);
// `name` against `directory`, unless `name` is absolute or `directory` empty.
std::string JoinPath(std::string_view directory, std::string_view name);

// The blocks open around the scan position, as both scanners keep them: each with its label
// (empty for an unnamed block) and the scope it stands for once an instance inside has needed
// it. The blocks not yet entered are entered, outermost first, and the innermost named one is
// answered. Each block is entered once, so the work and the scopes grow with the text only.
constexpr std::uint32_t kScopeNotEntered = kNoScope - 1;
template <class Block>
std::uint32_t EnterScopes(std::vector<Block>& open, std::vector<Scope>& scopes) {
  std::size_t first = open.size();
  while (first > 0 && open[first - 1].scope == kScopeNotEntered) --first;
  for (std::size_t i = first; i < open.size(); ++i) {
    const std::uint32_t parent = i > 0 ? open[i - 1].scope : kNoScope;
    if (open[i].label.empty()) {
      open[i].scope = parent;
    } else {
      open[i].scope = static_cast<std::uint32_t>(scopes.size());
      scopes.push_back(Scope{std::string(open[i].label), parent});
    }
  }
  return open.empty() ? kNoScope : open.back().scope;
}

// A unit's interface keeps at most this many entries in each list and this much text in all; past
// either it is marked incomplete. A declaration of more tokens than a list records is not read.
constexpr std::size_t kMaxDeclarations = 4096;
constexpr std::size_t kMaxInterfaceBytes = std::size_t{1} << 20;
constexpr std::size_t kMaxRecordedTokens = std::size_t{1} << 16;

// Adds to one list of `iface` (context clauses or declarations) while its bounds hold; `bytes`
// counts the text the interface holds.
template <class T>
bool AddBounded(Interface& iface, std::vector<T>& list, T entry, std::size_t& bytes) {
  std::size_t size = 0;
  if constexpr (std::is_same_v<T, std::string>) {
    size = entry.size();
  } else {
    size = entry.name.size() + entry.mode.size() + entry.type.size() + entry.dims.size() + entry.value.size();
  }
  if (!iface.complete || list.size() >= kMaxDeclarations || bytes + size > kMaxInterfaceBytes) {
    iface.complete = false;
    return false;
  }
  bytes += size;
  list.push_back(std::move(entry));
  return true;
}

// Design text as a declaration shows it: comments left out, each run of blanks one blank, none at
// either end. Strings are kept whole; `vhdl` reads its comments and character literals.
inline std::string CleanText(std::string_view raw, bool vhdl) {
  std::string out;
  out.reserve(raw.size());
  bool blank = false;
  const auto put = [&](std::string_view text) {
    if (blank && !out.empty()) out.push_back(' ');
    blank = false;
    out.append(text);
  };
  std::size_t at = 0;
  while (at < raw.size()) {
    const char c = raw[at];
    const char next = at + 1 < raw.size() ? raw[at + 1] : '\0';
    if (IsSpace(c)) {
      blank = true;
      ++at;
    } else if ((vhdl && c == '-' && next == '-') || (!vhdl && c == '/' && next == '/')) {
      const std::size_t newline = raw.find('\n', at);
      at = newline == std::string_view::npos ? raw.size() : newline;
      blank = true;
    } else if (c == '/' && next == '*') {
      const std::size_t close = raw.find("*/", at + 2);
      at = close == std::string_view::npos ? raw.size() : close + 2;
      blank = true;
    } else if (c == '"') {
      std::size_t end = at + 1;
      while (end < raw.size() && raw[end] != '"' && raw[end] != '\n') end += !vhdl && raw[end] == '\\' ? 2 : 1;
      end = std::min(end + 1, raw.size());
      put(raw.substr(at, end - at));
      at = end;
    } else if (vhdl && c == '\'' && at + 2 < raw.size() && raw[at + 2] == '\'') {
      put(raw.substr(at, 3));
      at += 3;
    } else {
      put(raw.substr(at, 1));
      ++at;
    }
  }
  return out;
}

void ScanVhdl(std::string_view text, std::string_view path, const ScanOptions& options, ScanResult& result);
void ScanVerilog(std::string_view text, std::string_view path, const ScanOptions& options, ScanResult& result);

// What both parsers read tokens through: the lexer, a few tokens of look-ahead, and the
// token taken last and the one before it.
template <class Lexer, class Tok>
class TLookahead {
 protected:
  template <class... Args>
  explicit TLookahead(Args&&... args) : m_lexer(std::forward<Args>(args)...) {}

  Tok Next() {
    Tok t;
    if (m_aheadCount > 0) {
      t = m_ahead[m_aheadFirst];
      m_aheadFirst = (m_aheadFirst + 1) % m_ahead.size();
      --m_aheadCount;
    } else {
      t = m_lexer.Next();
    }
    m_prev = m_current;
    m_current = t;
    if (m_record != nullptr) {
      if (m_record->size() < kMaxRecordedTokens) {
        m_record->push_back(t);
      } else {
        m_recordCut = true;
      }
    }
    return t;
  }

  // Keeps the tokens taken while it lives in `tokens`, up to kMaxRecordedTokens; cut() tells
  // whether more came.
  class Recording {
   public:
    Recording(TLookahead& owner, std::vector<Tok>& tokens) : m_owner(owner) {
      tokens.clear();
      m_owner.m_record = &tokens;
      m_owner.m_recordCut = false;
    }
    ~Recording() { m_owner.m_record = nullptr; }
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;
    bool cut() const { return m_owner.m_recordCut; }

   private:
    TLookahead& m_owner;
  };
  // The k-th token after the current one, k below the look-ahead's size.
  const Tok& Peek(std::size_t k) {
    while (m_aheadCount <= k) {
      m_ahead[(m_aheadFirst + m_aheadCount) % m_ahead.size()] = m_lexer.Next();
      ++m_aheadCount;
    }
    return m_ahead[(m_aheadFirst + k) % m_ahead.size()];
  }

  Lexer m_lexer;
  Tok m_prev;
  Tok m_current;
  std::vector<Tok>* m_record = nullptr;
  bool m_recordCut = false;

 private:
  std::array<Tok, 8> m_ahead{};
  std::size_t m_aheadFirst = 0;
  std::size_t m_aheadCount = 0;
};

}  // namespace Hdl::scan::detail
