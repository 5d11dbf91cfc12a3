// The VHDL scanner. It follows the nesting of everything that closes with "end" so that it knows
// where each design unit ends, and picks out context clauses, instances, selected names of
// libraries and the generics and ports of entities on the way; everything else is skipped token
// by token.

#include <array>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "ScanCommon.h"

namespace Hdl::scan::detail {

namespace {

enum Kw : std::uint8_t {
  kNoKw = 0,
  kOtherKw,
  kPslKw,  // reserved from VHDL-2008 on only
  kAll,
  kArchitecture,
  kBegin,
  kBlock,
  kBody,
  kCase,
  kComponent,
  kConfiguration,
  kContext,
  kElse,
  kElsif,
  kEnd,
  kEntity,
  kFor,
  kFunction,
  kGenerate,
  kGeneric,
  kIf,
  kIs,
  kLibrary,
  kLoop,
  kMap,
  kNew,
  kOf,
  kOpen,
  kPackage,
  kPort,
  kProcedure,
  kProcess,
  kProtected,
  kRecord,
  kThen,
  kUnits,
  kUse,
  kView,
  kVunit,
  kWhile,
};

const KeywordTable& Keywords() {
  // clang-format off
  static const KeywordTable table({
      {"all", kAll}, {"architecture", kArchitecture}, {"begin", kBegin}, {"block", kBlock},
      {"body", kBody}, {"case", kCase}, {"component", kComponent}, {"configuration", kConfiguration},
      {"context", kContext}, {"else", kElse}, {"elsif", kElsif}, {"end", kEnd},
      {"entity", kEntity}, {"for", kFor}, {"function", kFunction}, {"generate", kGenerate},
      {"generic", kGeneric}, {"if", kIf}, {"is", kIs}, {"library", kLibrary},
      {"loop", kLoop}, {"map", kMap}, {"new", kNew}, {"of", kOf},
      {"open", kOpen}, {"package", kPackage}, {"port", kPort}, {"procedure", kProcedure},
      {"process", kProcess}, {"protected", kProtected}, {"record", kRecord}, {"then", kThen},
      {"units", kUnits}, {"use", kUse}, {"view", kView}, {"while", kWhile},
      {"vmode", kVunit}, {"vprop", kVunit}, {"vunit", kVunit},
      {"assume assume_guarantee cover default fairness property restrict sequence strong",
       kPslKw},
      {"abs access after alias and array assert attribute buffer bus constant disconnect "
       "downto exit file force group guarded impure in inertial inout label linkage literal "
       "mod nand next nor not null on or others out parameter postponed pure range register "
       "reject release rem report return rol ror select severity shared signal sla sll sra "
       "srl subtype to transport type unaffected until variable wait when with xnor xor",
       kOtherKw},
  });
  // clang-format on
  return table;
}

enum class T : std::uint8_t { kEof, kId, kExtId, kKw, kStr, kChar, kNum, kPunct };

constexpr std::uint16_t P2(char a, char b) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(a) | (static_cast<unsigned char>(b) << 8));
}

struct Tok {
  T kind = T::kEof;
  std::uint8_t kw = kNoKw;
  std::uint16_t punct = 0;
  std::size_t begin = 0;
  std::size_t end = 0;
};

class Lexer {
 public:
  // With no standard set, "context" stays a name here (the parser tells where it is a keyword)
  // and block comments are read: "/*" never stands in 93 text outside comments and strings.
  Lexer(std::string_view text, std::optional<VhdlStandard> standard)
      : m_base(text.data()),
        m_p(text.data()),
        m_end(text.data() + text.size()),
        m_2008(standard && *standard >= VhdlStandard::k2008),
        m_2019(standard && *standard >= VhdlStandard::k2019),
        m_blockComments(!standard || m_2008) {}

  Tok Next() {
    Tok t;
    SkipBlanks();
    t.begin = static_cast<std::size_t>(m_p - m_base);
    if (m_p >= m_end) {
      t.end = t.begin;
      m_prevIsName = false;
      return t;
    }
    const char c = *m_p;
    if (IsIdentStart(c)) {
      const char* start = m_p++;
      while (m_p < m_end && IsIdentChar(*m_p)) ++m_p;
      t.kind = T::kId;
      const auto length = static_cast<std::size_t>(m_p - start);
      if (length <= KeywordTable::kMaxLength) {
        std::uint8_t kw = m_keywords.Find(start, length, true);
        // Later standards' words stay identifiers in earlier ones.
        if ((kw == kPslKw || kw == kContext || kw == kVunit) && !m_2008) kw = kNoKw;
        if (kw == kView && !m_2019) kw = kNoKw;
        if (kw != kNoKw) {
          t.kind = T::kKw;
          t.kw = kw;
        }
      }
    } else if (IsDigit(c)) {
      ++m_p;
      while (m_p < m_end && (IsIdentChar(*m_p) || *m_p == '#' || *m_p == '.')) ++m_p;
      t.kind = T::kNum;
    } else if (c == '"') {
      SkipDelimited('"');
      t.kind = T::kStr;
    } else if (c == '\\') {
      SkipDelimited('\\');
      t.kind = T::kExtId;
    } else if (c == '\'') {
      // After a name or a closing bracket the tick starts an attribute or a qualified expression;
      // elsewhere 'x' is a character literal.
      if (!m_prevIsName && m_end - m_p > 2 && m_p[2] == '\'') {
        m_p += 3;
        t.kind = T::kChar;
      } else {
        ++m_p;
        t.kind = T::kPunct;
        t.punct = '\'';
      }
    } else {
      t.kind = T::kPunct;
      t.punct = static_cast<unsigned char>(c);
      ++m_p;
      if (m_p < m_end) {
        const std::uint16_t pair = P2(c, *m_p);
        if (pair == P2(':', '=') || pair == P2('=', '>') || pair == P2('<', '=') || pair == P2('>', '=') ||
            pair == P2('/', '=') || pair == P2('<', '>') || pair == P2('*', '*')) {
          t.punct = pair;
          ++m_p;
        }
      }
    }
    t.end = static_cast<std::size_t>(m_p - m_base);
    m_prevIsName =
        t.kind == T::kId || t.kind == T::kExtId || (t.kind == T::kPunct && (t.punct == ')' || t.punct == ']'));
    return t;
  }

  // Where a block comment starts that never ends; npos when none.
  std::size_t unterminatedComment = std::string_view::npos;

 private:
  // Past a string or an extended identifier opened by `delimiter`, which a doubled delimiter
  // escapes. Neither spans lines: a stray delimiter costs one line, not the rest of the file.
  void SkipDelimited(char delimiter) {
    ++m_p;
    while (m_p < m_end && *m_p != '\n') {
      if (*m_p++ == delimiter) {
        if (m_p < m_end && *m_p == delimiter) {
          ++m_p;
          continue;
        }
        break;
      }
    }
  }

  void SkipBlanks() {
    while (m_p < m_end) {
      if (IsSpace(*m_p)) {
        ++m_p;
      } else if (*m_p == '-' && m_end - m_p > 1 && m_p[1] == '-') {
        const void* newline = std::memchr(m_p, '\n', static_cast<std::size_t>(m_end - m_p));
        m_p = newline ? static_cast<const char*>(newline) + 1 : m_end;
      } else if (m_blockComments && *m_p == '/' && m_end - m_p > 1 && m_p[1] == '*') {
        const char* q = m_p + 2;
        for (;;) {
          q = static_cast<const char*>(std::memchr(q, '*', static_cast<std::size_t>(m_end - q)));
          if (q == nullptr || m_end - q < 2) {
            unterminatedComment = static_cast<std::size_t>(m_p - m_base);
            m_p = m_end;
            break;
          }
          if (q[1] == '/') {
            m_p = q + 2;
            break;
          }
          ++q;
        }
      } else {
        break;
      }
    }
  }

  const KeywordTable& m_keywords = Keywords();
  const char* m_base;
  const char* m_p;
  const char* m_end;
  bool m_2008;
  bool m_2019;
  bool m_blockComments;
  bool m_prevIsName = false;
};

// What a "lib.name.item" names: up to its first parts.
struct Selected {
  std::array<std::string_view, 3> parts;
  int count = 0;
  bool endsWithAll = false;
};

class Parser : TLookahead<Lexer, Tok> {
 public:
  Parser(std::string_view text, std::string_view path, const ScanOptions& options, ScanResult& result)
      : TLookahead(text, options.vhdlStandard),
        m_text(text),
        m_path(path),
        m_lines(text),
        m_result(result),
        m_contextByPlace(!options.vhdlStandard) {
    ResetLibraries();
  }

  void Run() {
    for (;;) {
      const Tok t = Next();
      if (t.kind == T::kEof) break;
      Step(t);
    }
    Finish();
  }

 private:
  struct Open {
    std::uint8_t kind;
    bool bodyBegun = false;  // a generate body that opened with "begin", closed by a bare "end"
    std::string_view label;  // of a generate or block: it goes into instance paths
    std::uint32_t scope = kScopeNotEntered;
  };

  // ---- tokens

  std::string_view Text(const Tok& t) const { return m_text.substr(t.begin, t.end - t.begin); }
  static bool IsName(const Tok& t) { return t.kind == T::kId || t.kind == T::kExtId; }
  static bool IsKw(const Tok& t, Kw kw) { return t.kind == T::kKw && t.kw == kw; }
  static bool IsPunct(const Tok& t, std::uint16_t punct) { return t.kind == T::kPunct && t.punct == punct; }
  std::uint32_t LineOf(const Tok& t) { return m_lines.LineOf(t.begin); }

  // ---- units and references

  Unit* Current() { return m_unit >= 0 ? &m_result.units[static_cast<std::size_t>(m_unit)] : nullptr; }

  void StartUnit(UnitKind kind, const Tok& name, std::string_view primary, std::uint8_t openKind) {
    if (Unit* open = Current()) {
      open->complete = false;
      AddMessage(m_result, MessageKind::kSyntax, Severity::kWarning, m_path, LineOf(name),
                 "'" + open->name + "' has no end before '" + std::string(Text(name)) + "'");
      EndUnit();
    }
    Unit unit;
    unit.kind = kind;
    unit.name = std::string(Text(name));
    unit.primary = std::string(primary);
    unit.line = LineOf(name);
    unit.references = std::move(m_context);
    m_context.clear();
    m_interfaceBytes = 0;
    if (kind == UnitKind::kVhdlEntity) {
      for (std::string& clause : m_clauses) AddBounded(unit.interface, unit.interface.context, std::move(clause), m_interfaceBytes);
    }
    m_clauses.clear();
    m_clauseBegin = kNoClause;
    m_result.units.push_back(std::move(unit));
    m_unit = static_cast<int>(m_result.units.size() - 1);
    m_useKeys.clear();
    for (const Reference& ref : m_result.units.back().references) {
      m_useKeys.insert(UseKey(ref.kind, ref.library, ref.name));
    }
    m_opens.clear();
    m_opens.push_back(Open{openKind, false, {}});
    ForgetComponents();
    if (kind == UnitKind::kVhdlArchitecture || kind == UnitKind::kVhdlPackageBody) {
      // The context clause of its entity or package applies here too. Where another file holds
      // that, the project tells which of the unit's selected names start with a library it names.
      const auto found = m_primaryLibraries.find(PrimaryKey(kind, primary));
      if (found != m_primaryLibraries.end()) {
        for (const std::string& library : found->second) {
          if (!IsLibrary(library)) m_libraries.push_back(library);
        }
      } else {
        m_primaryElsewhere = true;
      }
    }
  }

  // The entity or package, by its folded name, that an architecture or a package body of `kind` is of.
  static std::string PrimaryKey(UnitKind kind, std::string_view primary) {
    const bool entity = kind == UnitKind::kVhdlEntity || kind == UnitKind::kVhdlArchitecture;
    return (entity ? "e" : "p") + FoldVhdl(primary);
  }

  void EndUnit() {
    if (const Unit* unit = Current();
        unit != nullptr && (unit->kind == UnitKind::kVhdlEntity || unit->kind == UnitKind::kVhdlPackage)) {
      // Kept for its architectures or body below, work left out; a later unit of the name
      // replaces them.
      m_primaryLibraries[PrimaryKey(unit->kind, unit->name)].assign(m_libraries.begin() + 1, m_libraries.end());
    }
    m_unit = -1;
    if (m_primaryElsewhere) {
      m_primaryElsewhere = false;
      m_selectedSeen.clear();
    }
    m_opens.clear();
    m_context.clear();
    m_clauses.clear();
    m_clauseBegin = kNoClause;
    m_useKeys.clear();
    ForgetComponents();
    m_unitEndsAtSemicolon = false;
    m_paren = 0;
    ResetLibraries();
  }

  // A component declaration: its name is kept for "u : e;". Out of line, as Step is the scan's loop.
  [[gnu::noinline]] void Component() {
    if (m_unit >= 0) m_components.push_back(Text(Peek(0)));
    Push(kComponent);
  }

  void ForgetComponents() {
    m_components.clear();
    m_componentKeys.clear();
    m_componentsKeyed = 0;
  }

  void ResetLibraries() {
    m_libraries.clear();
    m_libraries.emplace_back("work");
  }
  bool IsLibrary(std::string_view name) const {
    for (const std::string& library : m_libraries) {
      if (EqualsFolded(library, name)) return true;
    }
    return false;
  }

  std::vector<Reference>& Refs() { return m_unit >= 0 ? Current()->references : m_context; }

  void AddRef(RefKind kind, std::string_view library, std::string_view name, std::string_view secondary,
              std::string label, std::uint32_t line) {
    std::vector<Reference>& refs = Refs();
    // A use or context reference is listed once, where it is first named.
    const bool dedupe = kind == RefKind::kUse || kind == RefKind::kContext;
    if (dedupe && !m_useKeys.insert(UseKey(kind, library, name)).second) return;
    Reference ref;
    ref.kind = kind;
    ref.library = std::string(library);
    ref.name = std::string(name);
    ref.secondary = std::string(secondary);
    ref.label = std::move(label);
    ref.line = line;
    if (!ref.label.empty() && m_unit >= 0) ref.scope = EnterScopes(m_opens, Current()->scopes);  // an instance
    refs.push_back(std::move(ref));
  }

  // What tells use and context references apart: the kind, and the library and unit in any case.
  static std::string UseKey(RefKind kind, std::string_view library, std::string_view name) {
    std::string key(1, static_cast<char>(kind));
    for (char c : library) key += Lower(c);
    key += '\0';  // an extended identifier may hold a dot
    for (char c : name) key += Lower(c);
    return key;
  }

  // Reads "a.b.c" from the next token on; records a library's unit it names.
  Selected ReadSelected() {
    Selected s;
    if (!IsName(Peek(0))) return s;
    s.parts[s.count++] = Text(Next());
    while (IsPunct(Peek(0), '.') && (IsName(Peek(1)) || IsKw(Peek(1), kAll))) {
      Next();
      const Tok part = Next();
      if (IsKw(part, kAll)) {
        s.endsWithAll = true;
        break;
      }
      if (s.count < static_cast<int>(s.parts.size())) s.parts[s.count++] = Text(part);
    }
    return s;
  }

  // "work.pkg.c" in any expression needs the package even without a use clause.
  void SelectedName(const Tok& first) {
    const bool library = IsLibrary(Text(first));
    if ((!library && !m_primaryElsewhere) || !IsPunct(Peek(0), '.') || !IsName(Peek(1))) return;
    Next();
    const Tok unit = Next();
    if (library) {
      AddRef(RefKind::kUse, Text(first), Text(unit), {}, {}, LineOf(first));
    } else {
      SelectedOfPrimary(Text(first), Text(unit), LineOf(first));
    }
  }

  // "a.b" that only the context clause of the unit's entity or package, in another file, may make
  // a unit of library a: recorded once for the project to settle. Out of line, as Step is the
  // scan's loop.
  [[gnu::noinline]] void SelectedOfPrimary(std::string_view library, std::string_view unit, std::uint32_t line) {
    // Both views lie in the text: the span from one to the other tells repeats apart.
    const std::string_view written(library.data(),
                                   static_cast<std::size_t>(unit.data() + unit.size() - library.data()));
    if (m_selectedSeen.insert(written).second) AddRef(RefKind::kSelected, library, unit, {}, {}, line);
  }

  // ---- statements

  void Step(const Tok& t) {
    if (t.kind == T::kPunct) {
      bool starts = false;
      if (t.punct == '(') {
        ++m_paren;
      } else if (t.punct == ')') {
        if (m_paren > 0) --m_paren;
      } else if (t.punct == ';') {
        if (m_paren == 0) {
          if (m_clauseBegin != kNoClause && m_unit < 0 && m_clauses.size() < kMaxDeclarations) {
            m_clauses.push_back(CleanText(m_text.substr(m_clauseBegin, t.end - m_clauseBegin), true));
          }
          m_clauseBegin = kNoClause;
          EndStatement();
          starts = true;
        }
      } else if (t.punct == P2('=', '>')) {
        starts = m_paren == 0;
      }
      m_statementStart = starts;
      return;
    }
    if (IsName(t)) {
      // Where only a context declaration or reference can stand, the name is 2008's keyword.
      if (m_contextByPlace && t.kind == T::kId && m_paren == 0 && IsName(Peek(0)) &&
          (m_unit < 0 || Current()->kind == UnitKind::kVhdlContext) && EqualsFolded(Text(t), "context")) {
        m_statementStart = Context(t);
        return;
      }
      if (m_paren == 0 && m_statementStart && IsPunct(Peek(0), ':')) {
        Labelled(t);
        return;
      }
      if (t.kind == T::kId && IsPunct(Peek(0), '.')) SelectedName(t);
      m_statementStart = false;
      return;
    }
    if (t.kind != T::kKw) {
      m_statementStart = false;
      return;
    }
    if (m_paren > 0) {
      // None of these can stand inside parentheses: an unbalanced one must not hide the rest.
      if (t.kw != kEnd && t.kw != kBegin && t.kw != kEntity && t.kw != kArchitecture && t.kw != kConfiguration &&
          t.kw != kLibrary) {
        m_statementStart = false;
        return;
      }
      m_paren = 0;
    }
    // Entity classes after a colon: "attribute a of f : function is ...".
    if (IsPunct(m_prev, ':') &&
        (t.kw == kEntity || t.kw == kArchitecture || t.kw == kConfiguration || t.kw == kPackage || t.kw == kProcedure ||
         t.kw == kFunction || t.kw == kComponent || t.kw == kUnits)) {
      m_statementStart = false;
      return;
    }
    bool starts = false;
    switch (t.kw) {
      case kEnd:
        End();
        return;
      case kBegin:
        if (!m_opens.empty() && m_opens.back().kind == kGenerate) m_opens.back().bodyBegun = true;
        starts = true;
        break;
      case kIs:
        if (m_pending == kCase) {
          Push(kCase);
        } else if (m_subprogram != kNoKw) {
          if (!IsKw(Peek(0), kNew)) Push(m_subprogram);
          m_subprogram = kNoKw;
        }
        m_pending = kNoKw;
        starts = true;
        break;
      case kThen:
        if (m_pending == kIf) Push(kIf);
        m_pending = kNoKw;
        starts = true;
        break;
      case kGenerate:
        if (m_pending == kIf || m_pending == kFor || m_pending == kCase) {
          Push(kGenerate, m_label);
        } else if (!m_opens.empty() && m_opens.back().kind == kGenerate) {
          m_opens.back().bodyBegun = false;  // the next alternative of an if or case generate
        }
        m_pending = kNoKw;
        m_label = {};
        starts = true;
        break;
      case kLoop:
        Push(kLoop);
        m_pending = kNoKw;
        starts = true;
        break;
      case kElse:
      case kElsif:
        starts = true;
        break;
      case kIf:
      case kCase:
        m_pending = t.kw;
        break;
      case kWhile:
        m_pending = kFor;
        break;
      case kFor:
        if (!m_opens.empty() && m_opens.front().kind == kConfiguration) {
          // Block and component configurations always close with "end for".
          Push(kFor);
          if (m_opens.size() == 2 && IsName(Peek(0))) {
            AddRef(RefKind::kArchitecture, {}, Text(Peek(0)), {}, {}, LineOf(Peek(0)));
          }
        } else {
          m_pending = kFor;
        }
        break;
      case kProcess:
        Push(kProcess);
        m_label = {};
        break;
      case kBlock:
        Push(kBlock, m_label);
        m_label = {};
        break;
      case kComponent:
        if (IsName(Peek(0))) Component();
        break;
      case kFunction:
      case kProcedure:
        m_subprogram = t.kw;
        break;
      case kRecord:
      case kUnits:
      case kProtected:
        Push(t.kw);
        break;
      case kView:
        if (IsName(Peek(0)) && IsKw(Peek(1), kOf)) Push(kView);
        break;
      case kEntity:
        if (IsName(Peek(0)) && IsKw(Peek(1), kIs)) {
          const Tok name = Next();
          Next();
          StartUnit(UnitKind::kVhdlEntity, name, {}, kEntity);
          starts = true;
        }
        break;
      case kArchitecture:
      case kConfiguration:
        if (IsName(Peek(0)) && IsKw(Peek(1), kOf) && IsName(Peek(2)) && IsKw(Peek(3), kIs)) {
          const Tok name = Next();
          Next();
          const Tok primary = Next();
          Next();
          StartUnit(t.kw == kArchitecture ? UnitKind::kVhdlArchitecture : UnitKind::kVhdlConfiguration, name,
                    Text(primary), t.kw);
          starts = true;
        }
        break;
      case kPackage:
        Package();
        starts = true;
        break;
      case kContext:
        starts = Context(t);
        break;
      case kLibrary:
        if (Unit* open = Current(); open != nullptr && open->kind != UnitKind::kVhdlContext) {
          // Only context clauses name libraries: the open unit lost its end.
          open->complete = false;
          AddMessage(m_result, MessageKind::kSyntax, Severity::kWarning, m_path, LineOf(t),
                     "'" + open->name + "' has no end before the next context clause");
          EndUnit();
        }
        if (m_unit < 0) m_clauseBegin = t.begin;
        while (IsName(Peek(0))) {
          const Tok name = Next();
          std::string library = FoldVhdl(Text(name));
          // Listed once each: the project orders the unit after a file of a library it names.
          if (!IsLibrary(library)) {
            m_libraries.push_back(std::move(library));
            AddRef(RefKind::kLibrary, Text(name), {}, {}, {}, LineOf(name));
          }
          if (!IsPunct(Peek(0), ',')) break;
          Next();
        }
        break;
      case kUse:
        if (m_unit < 0) m_clauseBegin = t.begin;
        Use();
        break;
      case kGeneric:
      case kPort:
        if (!IsKw(Peek(0), kMap) && m_opens.size() == 1 && Current() != nullptr &&
            Current()->kind == UnitKind::kVhdlEntity) {
          if (t.kw == kPort) Current()->hasPorts = true;
          if (IsPunct(Peek(0), '(')) {
            Next();
            InterfaceList(t.kw == kGeneric);
          }
        }
        break;
      case kVunit:
        if (m_unit < 0) SkipBraces();
        break;
      default:
        break;
    }
    m_statementStart = starts;
  }

  // ---- generics and ports

  // The text of tokens [from, to) as written.
  std::string Span(const std::vector<Tok>& tokens, std::size_t from, std::size_t to) const {
    if (from >= to) return {};
    return CleanText(m_text.substr(tokens[from].begin, tokens[to - 1].end - tokens[from].begin), true);
  }

  // A generic or port list after its "(": read to the ")" that closes it, then taken apart
  // declaration by declaration. A list that never closes is read as far as it goes.
  void InterfaceList(bool generics) {
    std::vector<Tok> tokens;
    {
      Recording recording(*this, tokens);
      int depth = 1;
      for (;;) {
        const Tok& next = Peek(0);
        if (next.kind == T::kEof) break;
        // As in Step: these never stand inside parentheses.
        if (next.kind == T::kKw && (next.kw == kEnd || next.kw == kBegin || next.kw == kEntity ||
                                    next.kw == kArchitecture || next.kw == kConfiguration || next.kw == kLibrary)) {
          break;
        }
        const Tok t = Next();
        if (IsPunct(t, '(')) {
          ++depth;
        } else if (IsPunct(t, ')')) {
          if (--depth == 0) break;
        } else if (t.kind == T::kId && IsPunct(Peek(0), '.')) {
          SelectedName(t);
        }
      }
      if (recording.cut()) Current()->interface.complete = false;
    }
    if (!tokens.empty() && IsPunct(tokens.back(), ')')) tokens.pop_back();
    std::size_t from = 0;
    while (from < tokens.size()) {
      std::size_t to = from;
      for (int depth = 0; to < tokens.size() && !(depth == 0 && IsPunct(tokens[to], ';')); ++to) {
        if (IsPunct(tokens[to], '(')) ++depth;
        if (IsPunct(tokens[to], ')')) --depth;
      }
      InterfaceDeclaration(tokens, from, to, generics);
      from = to + 1;
    }
  }

  // "a, b : in std_logic := '0'", "constant W : natural", "type T", "function f return bit".
  void InterfaceDeclaration(const std::vector<Tok>& tokens, std::size_t at, std::size_t end, bool generic) {
    if (at >= end) return;
    Unit& unit = *Current();
    std::string word = tokens[at].kind == T::kKw ? FoldVhdl(Text(tokens[at])) : std::string();
    if (generic && (word == "type" || word == "package" || word == "function" || word == "procedure" ||
                    word == "pure" || word == "impure")) {
      Declaration declaration;
      declaration.mode = word;
      ++at;
      if ((word == "pure" || word == "impure") && at < end && IsKw(tokens[at], kFunction)) {
        declaration.mode += " function";
        ++at;
      }
      if (at >= end || !IsName(tokens[at])) return;
      declaration.name = std::string(Text(tokens[at]));
      declaration.type = Span(tokens, at + 1, end);
      AddBounded(unit.interface, unit.interface.generics, std::move(declaration), m_interfaceBytes);
      return;
    }
    if (word == "constant" || word == "signal" || word == "variable" || word == "file") ++at;
    std::vector<std::string_view> names;
    while (at < end && IsName(tokens[at])) {
      names.push_back(Text(tokens[at++]));
      if (at >= end || !IsPunct(tokens[at], ',')) break;
      ++at;
    }
    if (names.empty() || at >= end || !IsPunct(tokens[at], ':')) return;
    ++at;
    std::string mode;
    word = at < end && tokens[at].kind == T::kKw ? FoldVhdl(Text(tokens[at])) : std::string();
    if (word == "in" || word == "out" || word == "inout" || word == "buffer" || word == "linkage") {
      mode = word;
      ++at;
    } else if (!generic && !(at < end && IsKw(tokens[at], kView))) {
      mode = "in";  // a port's mode when none is written
    }
    if (generic) mode.clear();  // a generic constant is only ever read
    std::size_t assign = at;
    for (int depth = 0; assign < end && !(depth == 0 && IsPunct(tokens[assign], P2(':', '='))); ++assign) {
      if (IsPunct(tokens[assign], '(')) ++depth;
      if (IsPunct(tokens[assign], ')')) --depth;
    }
    const std::string type = Span(tokens, at, assign);
    const std::string value = assign < end ? Span(tokens, assign + 1, end) : std::string();
    for (std::string_view name : names) {
      Declaration declaration{std::string(name), mode, type, {}, value};
      if (!AddBounded(unit.interface, generic ? unit.interface.generics : unit.interface.ports, std::move(declaration),
                      m_interfaceBytes)) {
        return;
      }
    }
  }

  void Push(std::uint8_t kind, std::string_view label = {}) { m_opens.push_back(Open{kind, false, label}); }

  void EndStatement() {
    m_pending = kNoKw;
    m_subprogram = kNoKw;
    m_label = {};
    if (m_unitEndsAtSemicolon && m_opens.size() == 1) EndUnit();
  }

  // "label :" at the start of a statement: an instance, or the name of a generate, block or process.
  void Labelled(const Tok& label) {
    Next();  // ':'
    const Tok& next = Peek(0);
    const std::uint32_t line = LineOf(label);
    m_statementStart = false;
    if (next.kind == T::kKw) {
      if (next.kw == kEntity || next.kw == kConfiguration) {
        const bool entity = next.kw == kEntity;
        Next();
        EntityOrConfiguration(entity ? RefKind::kEntityInstance : RefKind::kConfigurationInstance, entity,
                              std::string(Text(label)), line);
        return;
      }
      if (next.kw == kComponent) {
        Next();
        const Selected s = ReadSelected();
        if (s.count > 0) AddRef(RefKind::kInstance, {}, s.parts[s.count - 1], {}, std::string(Text(label)), line);
        return;
      }
      m_label = Text(label);
      m_statementStart = true;
      return;
    }
    if (!IsName(next)) return;
    const Tok first = Peek(0);
    const Selected s = ReadSelected();
    if (s.count > 1 && IsLibrary(s.parts[0])) {
      AddRef(RefKind::kUse, s.parts[0], s.parts[1], {}, {}, LineOf(first));
    } else if (s.count > 1 && m_primaryElsewhere) {
      SelectedOfPrimary(s.parts[0], s.parts[1], LineOf(first));
    }
    if (IsKw(Peek(0), kGeneric) || IsKw(Peek(0), kPort) || (IsPunct(Peek(0), ';') && InstancesComponent(s))) {
      AddRef(RefKind::kInstance, {}, s.parts[s.count - 1], {}, std::string(Text(label)), line);
    }
  }

  // "u : e;" instantiates a component without maps where the unit declares the component e and
  // concurrent statements stand; else it calls a procedure.
  bool InstancesComponent(const Selected& s) {
    if (s.count != 1 || s.endsWithAll || m_opens.empty()) return false;
    const std::uint8_t within = m_opens.back().kind;
    if (within != kArchitecture && within != kBlock && within != kGenerate) return false;
    // Folded only when first asked: most units instantiate with maps.
    for (; m_componentsKeyed < m_components.size(); ++m_componentsKeyed) {
      m_componentKeys.insert(FoldVhdl(m_components[m_componentsKeyed]));
    }
    return m_componentKeys.count(FoldVhdl(s.parts[0])) != 0;
  }

  void Package() {
    if (IsKw(Peek(0), kBody) && IsName(Peek(1)) && IsKw(Peek(2), kIs)) {
      Next();
      const Tok name = Next();
      Next();
      if (m_unit < 0) {
        StartUnit(UnitKind::kVhdlPackageBody, name, Text(name), kPackage);
      } else {
        Push(kPackage);
      }
      return;
    }
    if (!IsName(Peek(0)) || !IsKw(Peek(1), kIs)) return;
    const Tok name = Next();
    Next();
    if (IsKw(Peek(0), kNew)) {
      // An instance of a generic package: a unit of one statement when it stands alone.
      Next();
      if (m_unit < 0) {
        StartUnit(UnitKind::kVhdlPackage, name, {}, kPackage);
        m_unitEndsAtSemicolon = true;
      }
      const std::uint32_t line = LineOf(Peek(0));
      const Selected s = ReadSelected();
      if (s.count >= 2) AddRef(RefKind::kUse, s.parts[0], s.parts[1], {}, {}, line);
      return;
    }
    if (m_unit < 0) {
      StartUnit(UnitKind::kVhdlPackage, name, {}, kPackage);
    } else {
      Push(kPackage);
    }
  }

  // After "entity" or "configuration": the selected name and, for an entity, an architecture
  // in parentheses, recorded as a reference of `kind`.
  void EntityOrConfiguration(RefKind kind, bool entity, std::string label, std::uint32_t line) {
    const Selected s = ReadSelected();
    if (s.count == 0) return;
    std::string_view architecture;
    if (entity && IsPunct(Peek(0), '(') && IsName(Peek(1)) && IsPunct(Peek(2), ')')) {
      Next();
      architecture = Text(Next());
      Next();
    }
    AddRef(kind, s.count > 1 ? s.parts[0] : std::string_view{}, s.parts[s.count - 1], architecture, std::move(label),
           line);
  }

  // After "context": a context declaration, or a context reference. True when a declaration began.
  bool Context(const Tok& t) {
    if (m_unit < 0 && IsName(Peek(0)) && IsKw(Peek(1), kIs)) {
      const Tok name = Next();
      Next();
      StartUnit(UnitKind::kVhdlContext, name, {}, kContext);
      return true;
    }
    if (m_unit < 0) m_clauseBegin = t.begin;
    while (IsName(Peek(0))) {
      const std::uint32_t line = LineOf(Peek(0));
      const Selected s = ReadSelected();
      if (s.count >= 2) AddRef(RefKind::kContext, s.parts[0], s.parts[1], {}, {}, line);
      if (!IsPunct(Peek(0), ',')) break;
      Next();
    }
    return false;
  }

  void Use() {
    const std::uint32_t line = LineOf(Peek(0));
    if (IsKw(Peek(0), kEntity) || IsKw(Peek(0), kConfiguration)) {
      const bool entity = IsKw(Next(), kEntity);
      EntityOrConfiguration(entity ? RefKind::kEntityBinding : RefKind::kConfigurationBinding, entity, {}, line);
      return;
    }
    while (IsName(Peek(0))) {
      const std::uint32_t at = LineOf(Peek(0));
      const Selected s = ReadSelected();
      if (s.count >= 2) AddRef(RefKind::kUse, s.parts[0], s.parts[1], {}, {}, at);
      if (!IsPunct(Peek(0), ',')) break;
      Next();
    }
  }

  void End() {
    std::uint8_t closes = kNoKw;
    const Tok& next = Peek(0);
    if (next.kind == T::kKw) {
      switch (next.kw) {
        case kEntity:
        case kArchitecture:
        case kPackage:
        case kConfiguration:
        case kContext:
        case kComponent:
        case kProcess:
        case kBlock:
        case kGenerate:
        case kIf:
        case kCase:
        case kLoop:
        case kFunction:
        case kProcedure:
        case kRecord:
        case kUnits:
        case kProtected:
        case kFor:
        case kView:
          closes = next.kw;
          break;
        default:
          break;
      }
    }
    if (closes != kNoKw) {
      // "end for" after a binding in an architecture ("for all : c use ...") closes nothing opened.
      for (std::size_t i = m_opens.size(); i-- > 0;) {
        if (m_opens[i].kind == closes) {
          m_opens.resize(i);
          break;
        }
      }
    } else if (!m_opens.empty()) {
      if (m_opens.back().kind == kGenerate && m_opens.back().bodyBegun) {
        m_opens.back().bodyBegun = false;
      } else {
        m_opens.pop_back();
      }
    }
    if (closes != kNoKw) Next();
    // The rest names what ended, up to the semicolon; a missing semicolon loses no unit.
    for (;;) {
      const Tok& rest = Peek(0);
      if (rest.kind == T::kEof) break;
      if (IsPunct(rest, ';')) {
        Next();
        break;
      }
      if (rest.kind == T::kKw && rest.kw != kBody && rest.kw != kOtherKw) break;
      Next();
    }
    m_pending = kNoKw;
    m_subprogram = kNoKw;
    m_label = {};
    m_statementStart = true;
    if (m_opens.empty() && m_unit >= 0) EndUnit();
  }

  void SkipBraces() {
    int depth = 0;
    for (;;) {
      const Tok t = Next();
      if (t.kind == T::kEof) return;
      if (IsPunct(t, '{')) ++depth;
      if (IsPunct(t, '}') && --depth <= 0) return;
    }
  }

  void Finish() {
    if (Unit* open = Current()) {
      open->complete = false;
      AddMessage(m_result, MessageKind::kTruncated, Severity::kWarning, m_path, m_lines.LineOf(m_text.size()),
                 "the file ends inside '" + open->name + "'");
    }
    if (m_lexer.unterminatedComment != std::string_view::npos) {
      AddMessage(m_result, MessageKind::kTruncated, Severity::kWarning, m_path,
                 m_lines.LineOf(m_lexer.unterminatedComment), "a comment never ends");
    }
  }

  std::string_view m_text;
  std::string_view m_path;
  LineCounter m_lines;
  ScanResult& m_result;

  int m_unit = -1;
  std::vector<Open> m_opens;
  std::vector<Reference> m_context;    // clauses read before their unit

  std::unordered_set<std::string> m_useKeys;  // the unit's use and context references, to drop repeats
  std::vector<std::string_view> m_components;           // the components the open unit declares
  std::unordered_set<std::string> m_componentKeys;      // the first m_componentsKeyed of them, folded
  std::size_t m_componentsKeyed = 0;

  static constexpr std::size_t kNoClause = std::string_view::npos;
  std::vector<std::string> m_clauses;       // the library, use and context clauses before the next unit, as written
  std::size_t m_clauseBegin = kNoClause;    // where the clause under way begins
  std::size_t m_interfaceBytes = 0;         // of text in the open unit's interface

  std::vector<std::string> m_libraries;
  // The libraries each entity and package of the file named (PrimaryKey), work aside.
  std::unordered_map<std::string, std::vector<std::string>> m_primaryLibraries;
  // The open unit is an architecture or package body of an entity or package no earlier unit of
  // the file is; its "a.b" names recorded as kSelected, each once as written.
  bool m_primaryElsewhere = false;
  std::unordered_set<std::string_view> m_selectedSeen;
  // No standard set: "context" is read as a keyword only where 93 text cannot hold the name.
  bool m_contextByPlace;
  bool m_unitEndsAtSemicolon = false;
  int m_paren = 0;
  bool m_statementStart = true;
  std::uint8_t m_pending = kNoKw;     // "if", "case" or "for" waiting for "then", "is", "loop" or "generate"
  std::uint8_t m_subprogram = kNoKw;  // a function or procedure: a body once "is" comes
  std::string_view m_label;           // the label of the statement under way
};

}  // namespace

void ScanVhdl(std::string_view text, std::string_view path, const ScanOptions& options, ScanResult& result) {
  Parser(text, path, options, result).Run();
}

}  // namespace Hdl::scan::detail
