// The Verilog and SystemVerilog scanner: a preprocessor (includes, macros, conditionals) feeding a
// token stream in which only unit headers, port and parameter declarations, instances, imports and
// package scopes are recognised.
// Bodies of functions, tasks, classes and the like are skipped whole so that their declarations
// are never taken for instances. A word only SystemVerilog reserves is a name where Verilog-2005
// reads one, so that Verilog-2005 files that use such names read as in Verilog-2005 tools.

#include <deque>
#include <unordered_map>
#include <unordered_set>

#include "ScanCommon.h"

namespace Hdl::scan::detail {

namespace {

enum Kw : std::uint8_t {
  kNoKw = 0,
  kOtherKw,
  // Verilog-2005 reserves these words.
  kModule,
  kMacromodule,
  kEndmodule,
  kPrimitive,
  kEndprimitive,
  kFunction,
  kEndfunction,
  kTask,
  kEndtask,
  kBegin,
  kEnd,
  kGenerate,
  kEndgenerate,
  kSpecify,
  kEndspecify,
  kTable,
  kEndtable,
  kConfig,
  kEndconfig,
  kElse,
  kEndcase,
  kJoin,      // join; join_any and join_none where they are keywords
  kLifetime,  // automatic, static
  // Only SystemVerilog reserves the words from here on: where Verilog-2005 reads a name they are
  // one (see Lexer::ReadsAsName).
  kInterface,
  kEndinterface,
  kProgram,
  kEndprogram,
  kPackage,
  kEndpackage,
  kClass,
  kEndclass,
  kImport,
  kExport,
  kExtern,
  kTypedef,
  kCovergroup,
  kEndgroup,
  kProperty,
  kEndproperty,
  kSequence,
  kEndsequence,
  kChecker,
  kEndchecker,
  kAssertion,  // assert, assume, cover, restrict, expect: "assert property" declares nothing
  kBind,       // "bind target module u (...)" names a module instantiated elsewhere
  // Codes only the keyword table gives: tokens carry kLifetime, kJoin and kOtherKw for them.
  kStatic,
  kSvWord,
  kSvType,      // a data type, also in a type parameter's list: "#(int, logic)"
  kSvValue,     // a value or a statement that may stand alone: "null;", "return;"
  kSvEnd,       // ends a construct, a label may follow: "endclocking : l"
  kSvJoin,      // join_any, join_none
  kSvOperator,  // stands between two names: "a iff b", "disable iff"
};
constexpr std::uint8_t kFirstSvOnly = kInterface;

const KeywordTable& Keywords() {
  // Only the words the scan acts on get codes of their own; the rest only need to be reserved.
  // clang-format off
  static const KeywordTable table({
      {"module", kModule}, {"macromodule", kMacromodule}, {"endmodule", kEndmodule}, {"interface", kInterface},
      {"endinterface", kEndinterface}, {"program", kProgram}, {"endprogram", kEndprogram}, {"package", kPackage},
      {"endpackage", kEndpackage}, {"primitive", kPrimitive}, {"endprimitive", kEndprimitive}, {"class", kClass},
      {"endclass", kEndclass}, {"function", kFunction}, {"endfunction", kEndfunction}, {"task", kTask},
      {"endtask", kEndtask}, {"begin", kBegin}, {"end", kEnd}, {"generate", kGenerate},
      {"endgenerate", kEndgenerate}, {"import", kImport}, {"export", kExport}, {"extern", kExtern},
      {"typedef", kTypedef}, {"covergroup", kCovergroup}, {"endgroup", kEndgroup}, {"property", kProperty},
      {"endproperty", kEndproperty}, {"sequence", kSequence}, {"endsequence", kEndsequence}, {"specify", kSpecify},
      {"endspecify", kEndspecify}, {"table", kTable}, {"endtable", kEndtable}, {"config", kConfig},
      {"endconfig", kEndconfig}, {"checker", kChecker}, {"endchecker", kEndchecker}, {"assert", kAssertion},
      {"bind", kBind}, {"assume", kAssertion}, {"cover", kAssertion}, {"restrict", kAssertion}, {"expect", kAssertion},
      {"else", kElse}, {"endcase", kEndcase}, {"join", kJoin}, {"static", kStatic}, {"automatic", kLifetime},
      {"always and assign buf bufif0 bufif1 case casex casez cell cmos deassign default defparam design disable "
       "edge event for force forever fork genvar highz0 highz1 if ifnone incdir include initial inout input "
       "instance integer large liblist library localparam medium nand negedge nmos nor noshowcancelled not "
       "notif0 notif1 or output parameter pmos posedge pull0 pull1 pulldown pullup rcmos real realtime reg "
       "release repeat rnmos rpmos rtran rtranif0 rtranif1 scalared showcancelled signed small specparam strong0 "
       "strong1 supply0 supply1 time tran tranif0 tranif1 tri tri0 tri1 triand trior trireg unsigned use uwire "
       "vectored wait wand weak0 weak1 while wire wor xnor xor",
       kOtherKw},
      {"accept_on alias always_comb always_ff always_latch bins binsof clocking constraint context cross "
       "coverpoint do eventually final first_match foreach forkjoin global ignore_bins illegal_bins let local "
       "modport nettype nexttime priority protected pure rand randc randcase randsequence reject_on s_always "
       "s_eventually s_nexttime soft solve strong sync_accept_on sync_reject_on tagged timeprecision timeunit "
       "unique unique0 virtual wait_order weak wildcard",
       kSvWord},
      {"bit byte chandle const enum int interconnect logic longint packed ref shortint shortreal string struct "
       "type union untyped var void",
       kSvType},
      {"break continue new null return super this", kSvValue},
      {"endclocking", kSvEnd},
      {"join_any join_none", kSvJoin},
      {"before extends iff implements implies inside intersect matches s_until s_until_with throughout until "
       "until_with with within dist",
       kSvOperator},
  });
  // clang-format on
  return table;
}

enum class T : std::uint8_t { kEof, kId, kKw, kSysId, kNum, kStr, kPunct };

constexpr std::uint16_t kScopePunct = ':' | (':' << 8);

struct Tok {
  T kind = T::kEof;
  std::uint8_t kw = kNoKw;
  std::uint16_t punct = 0;
  std::string_view text;
  std::uint32_t source = 0;
  std::size_t offset = 0;
};

using Macro = MacroDefinition;

// Past these a file is taken to be pathological: expansion stops with a message.
constexpr std::size_t kMaxMacroDepth = 64;
constexpr std::size_t kMaxExpansions = 200000;
constexpr std::size_t kMaxIncludes = 20000;

// The preprocessor and lexer. Every text it reads stays alive until the scan ends, so tokens can
// point into macro expansions and included files.
class Lexer {
 public:
  Lexer(std::string_view text, std::string_view path, const ScanOptions& options, ScanResult& result)
      : m_options(options), m_result(result) {
    if (!options.macrosAtStart) {
      for (const std::string& setting : options.macros) {
        std::string name;
        Macro macro;
        if (ParseMacroSetting(setting, &name, &macro)) m_given[std::move(name)] = std::move(macro);
      }
    }
    Source main;
    main.text = text;
    main.path = std::string(path);
    main.key = NormalizePath(path);
    main.lines = LineCounter(text);
    m_sources.push_back(std::move(main));
    m_stack.push_back(0);
  }

  // Inlined into the parser's look-ahead: the scan spends most of its time here.
  [[gnu::always_inline]] Tok Next() {
    Tok t = m_hasAfter ? m_after : ReadToken();
    m_hasAfter = false;
    if (t.kind == T::kKw && t.kw >= kFirstSvOnly) Classify(t);
    if (t.kind == T::kPunct) {
      Punctuation(t);
    } else {
      m_last = Seen{t.kind, 0, false, false, false, t.text};
    }
    return t;
  }

  std::uint32_t LineOf(const Tok& t) {
    std::uint32_t source = t.source;
    std::size_t offset = t.offset;
    while (m_sources[source].parent >= 0 && !m_sources[source].isFile) {
      offset = m_sources[source].anchor;
      source = static_cast<std::uint32_t>(m_sources[source].parent);
    }
    return m_sources[source].lines.LineOf(offset);
  }
  const std::string& PathOf(const Tok& t) const {
    std::uint32_t source = t.source;
    while (!m_sources[source].isFile) source = static_cast<std::uint32_t>(m_sources[source].parent);
    return m_sources[source].path;
  }
  std::uint32_t EndLine() { return m_sources[0].lines.LineOf(m_sources[0].text.size()); }

  // The text of a file from `first` to `last`, both read from that file itself (not from a macro or
  // another file), so that macros between them are seen as they were used; false when they are not.
  bool FileText(const Tok& first, const Tok& last, std::string_view* text) const {
    if (first.source != last.source || !m_sources[first.source].isFile) return false;
    const std::string_view file = m_sources[first.source].text;
    const std::size_t end = static_cast<std::size_t>(last.text.data() + last.text.size() - file.data());
    if (end < first.offset || end > file.size()) return false;
    *text = file.substr(first.offset, end - first.offset);
    return true;
  }

  void Finish() {
    for (const std::string& name : m_ownOrder) {
      const Known& known = m_macros[name];
      m_result.macrosLeft.push_back({name, known.definition});
      m_result.macrosLeftIn.push_back(known.setIn);
    }
    if (!m_conditions.empty()) {
      AddMessage(m_result, MessageKind::kTruncated, Severity::kWarning, m_sources[0].path, EndLine(),
                 "`ifdef without `endif");
    }
  }

 private:
  // The next token as the preprocessor gives it, before a word only SystemVerilog reserves is
  // read as a name.
  [[gnu::always_inline]] Tok ReadToken() {
    for (;;) {
      if (m_stack.empty()) {
        Tok eof;
        eof.source = 0;
        eof.offset = m_sources[0].text.size();
        return eof;
      }
      const std::uint32_t index = m_stack.back();
      SkipBlanks(index);
      Source& s = m_sources[index];
      if (s.pos >= s.text.size()) {
        m_stack.pop_back();
        continue;
      }
      const char c = s.text[s.pos];
      if (c == '`') {
        Directive(index);
        continue;
      }
      if (!Active()) {
        SkipInactive(s);
        continue;
      }
      Tok t = Lex(index);
      if ((t.kind == T::kId || t.kind == T::kKw) && t.punct == 0) {
        const Source& after = m_sources[index];
        if (after.pos < after.text.size() ? after.text[after.pos] == '`' : !after.isFile) JoinMacroText(t, index);
      }
      return t;
    }
  }

  // A name that runs into a macro's use ("u_`B", as "u_``n" makes of the argument `B), or out of a
  // macro's text into what follows its use ("`A(u)_x"), is one name, as the compilers read it.
  void JoinMacroText(Tok& t, std::uint32_t index) {
    std::string joined(t.text);
    bool grown = false;
    std::uint32_t expansion = t.source;  // one the name comes from in part
    for (std::size_t steps = 0; steps < kMaxMacroDepth; ++steps) {
      Source& s = m_sources[index];
      std::uint32_t next = index;
      if (s.pos == s.text.size()) {
        // Ended with the name: its use's text goes on with it.
        if (s.isFile || m_stack.empty() || m_stack.back() != index) break;
        m_stack.pop_back();
        next = static_cast<std::uint32_t>(s.parent);
      } else if (s.pos + 1 < s.text.size() && s.text[s.pos] == '`' && IsIdentStart(s.text[s.pos + 1])) {
        std::size_t at = s.pos + 1;
        const std::string_view name = ReadName(s.text, at);
        if (IsDirectiveName(name) || Lookup(std::string(name), index, s.pos) == nullptr) break;
        const std::size_t sources = m_sources.size();
        Directive(index);
        if (m_sources.size() == sources || m_stack.empty() || m_stack.back() != sources) break;
        next = expansion = static_cast<std::uint32_t>(sources);
        Source& e = m_sources[next];
        while (e.pos < e.text.size() && IsSpace(e.text[e.pos])) ++e.pos;  // no part of a macro's text
      } else {
        break;
      }
      index = next;
      Source& n = m_sources[index];
      std::size_t end = n.pos;
      while (end < n.text.size() && (IsIdentChar(n.text[end]) || n.text[end] == '$')) ++end;
      joined.append(n.text.substr(n.pos, end - n.pos));
      grown = grown || end > n.pos;
      n.pos = end;
    }
    if (!grown) return;
    m_owned.push_back(std::move(joined));
    t.text = m_owned.back();
    if (m_sources[t.source].isFile) {  // no longer text of the file itself
      t.source = expansion;
      t.offset = 0;
    }
    t.kw = m_keywords.Find(t.text.data(), t.text.size(), false);
    t.kind = t.kw != kNoKw ? T::kKw : T::kId;
  }

  static bool IsDirectiveName(std::string_view name) {
    static const std::unordered_set<std::string_view> kDirectives = {
        "ifdef", "ifndef", "elsif", "else", "endif", "define", "undef", "undefineall", "include", "timescale",
        "default_nettype", "unconnected_drive", "nounconnected_drive", "pragma", "line", "begin_keywords",
        "end_keywords", "default_decay_time", "default_trireg_strength", "delay_mode_distributed", "delay_mode_path",
        "delay_mode_unit", "delay_mode_zero", "resetall", "celldefine", "endcelldefine", "__FILE__", "__LINE__"};
    return kDirectives.count(name) > 0;
  }

  // A token the lexer gave, as far as the word after it needs.
  struct Seen {
    T kind = T::kEof;
    std::uint16_t punct = 0;
    bool closesParameters = false;  // the ")" of "#(...)"
    bool labels = false;            // the ":" of "begin :", "end :"
    bool afterKeyword = false;      // a ")" after a keyword, whose text it keeps: "(strong0, weak1)"
    std::string_view text;
  };
  static bool IsPunct(const Seen& seen, char c) { return seen.kind == T::kPunct && seen.punct == c; }

  // The token after the one being given, read ahead once.
  const Tok& After() {
    if (!m_hasAfter) {
      m_after = ReadToken();
      m_hasAfter = true;
    }
    return m_after;
  }

  // What a keyword says of a name after it.
  enum Context : std::uint8_t { kNoContext, kDeclares, kReferences, kLabelled, kGate };
  static std::uint8_t ContextOf(std::string_view keyword) {
    // clang-format off
    static const KeywordTable table({
        // "wire sequence;", "module program ("
        {"module macromodule primitive task function automatic wire reg integer real realtime time event genvar tri "
         "tri0 tri1 triand trior trireg wand wor uwire supply0 supply1 input output inout signed unsigned parameter "
         "localparam specparam defparam vectored scalared",
         kDeclares},
        // "disable checker", "@(posedge sequence)"
        {"disable posedge negedge edge", kReferences},
        // "buf checker (o, a)", "pullup (strong1) checker (o)"
        {"and nand or nor xor xnor buf not bufif0 bufif1 notif0 notif1 nmos pmos rnmos rpmos cmos rcmos tran rtran "
         "tranif0 tranif1 rtranif0 rtranif1 pullup pulldown",
         kGate},
        // "begin : checker", "end : checker", "join : program"
        {"begin fork end join join_any join_none endmodule endfunction endtask endgenerate endprimitive endspecify "
         "endtable endconfig endcase endinterface endprogram endpackage endclass endgroup endproperty endsequence "
         "endchecker endclocking",
         kLabelled},
    });
    // clang-format on
    return table.Find(keyword.data(), keyword.size(), false);
  }
  // A drive or charge strength; "supply0" declares as well, but only a strength ends with it.
  static bool IsStrength(std::string_view keyword) {
    static const KeywordTable table(
        {{"supply0 supply1 strong0 strong1 pull0 pull1 weak0 weak1 highz0 highz1 small medium large", 1}});
    return table.Find(keyword.data(), keyword.size(), false) != 0;
  }

  // A word only SystemVerilog reserves: a name where Verilog-2005 reads one, else its keyword.
  [[gnu::noinline]] void Classify(Tok& t) {
    if (ReadsAsName(t)) {
      t.kind = T::kId;
      t.kw = kNoKw;
    } else if (t.kw == kStatic) {
      t.kw = kLifetime;
    } else if (t.kw == kSvJoin) {
      t.kw = kJoin;
    } else if (t.kw > kStatic) {
      t.kw = kOtherKw;
    }
  }

  void Punctuation(const Tok& t) {
    Seen seen{t.kind, t.punct, false, false, false, t.text};
    if (t.punct == '(') {
      if (IsPunct(m_last, '#') && m_parametersDepth < 0) m_parametersDepth = m_depth;
      ++m_depth;
    } else if (t.punct == ')' && m_depth > 0) {
      seen.closesParameters = --m_depth == m_parametersDepth;
      if (m_depth <= m_parametersDepth) m_parametersDepth = -1;
      if (m_last.kind == T::kKw) {
        seen.afterKeyword = true;
        seen.text = m_last.text;
      }
    } else if (t.punct == ':') {
      seen.labels = m_last.kind == T::kKw && ContextOf(m_last.text) == kLabelled;
    } else if (t.punct == '#') {
      m_hash = t;
    }
    m_last = seen;
  }

  static bool IsEndWord(std::uint8_t code) {
    return code == kSvEnd || code == kSvJoin || code == kEndinterface || code == kEndprogram || code == kEndpackage || code == kEndclass ||
           code == kEndgroup || code == kEndproperty || code == kEndsequence || code == kEndchecker;
  }

  // Whether the number, the token given last, is a delay: only blanks stand between the last "#"
  // and it, in one text. Worked out only here, so that reading a token costs nothing more.
  bool Delays(std::string_view number) const {
    if (m_hash.kind != T::kPunct) return false;
    const std::string_view text = m_sources[m_hash.source].text;
    const auto at = reinterpret_cast<std::uintptr_t>(number.data());
    const auto base = reinterpret_cast<std::uintptr_t>(text.data());
    if (at <= base + m_hash.offset || at > base + text.size()) return false;
    for (std::size_t k = m_hash.offset + 1; k < at - base; ++k) {
      if (!IsSpace(text[k])) return false;
    }
    return true;
  }

  // Whether a word only SystemVerilog reserves stands where Verilog-2005 reads a name, so that a
  // Verilog-2005 file reads as its tools read it: "begin : checker", "disable checker",
  // "wire sequence;", "reg [7:0] property =", "counter program (", "leaf #5 checker (",
  // "buf checker (o, a)", "and (strong0, strong1) checker (o, a, b)", "tb.checker". Where it starts a
  // construct ("checker c (...); ... endchecker", "input logic [7:0] a", "assert property (p)") it
  // stays a keyword, so SystemVerilog reads alike in a .v and a .sv file.
  bool ReadsAsName(const Tok& word) {
    const std::uint8_t code = word.kw;
    const Seen& last = m_last;
    if (IsPunct(last, '.') || last.labels) return true;  // "tb.checker", ".sequence(s)", "begin : checker"
    const std::uint8_t context = last.kind == T::kKw ? ContextOf(last.text) : std::uint8_t{kNoContext};
    if (context == kReferences) return code != kSvOperator;  // not "disable iff"
    const Tok& next = After();
    char after = '\0';  // the punctuation after it; "or" as "|": "@(sequence or clk)"
    if (next.kind == T::kPunct && next.punct < 0x80) after = static_cast<char>(next.punct);
    if (next.kind == T::kKw && next.text == "or") after = '|';
    const auto among = [after](const char* set) { return after != '\0' && std::strchr(set, after) != nullptr; };
    const bool operatorValueOrEnd = code == kSvOperator || code == kSvValue || IsEndWord(code);
    // Only an instance's name stands between a gate's type, its strength or a bare delay and "(" or
    // "[", or between the comma of a list of instances and "(": gate instances are plain
    // Verilog-2005. A drive strength goes before a net's data type too, as in
    // "wire (strong0, weak1) logic [7:0] w", and a comma before a port's, as in ", logic [7:0] b".
    const bool closesStrength = last.afterKeyword && IsStrength(last.text);
    const bool gateOrDelay = context == kGate || closesStrength || (last.kind == T::kNum && Delays(last.text));
    if ((gateOrDelay || IsPunct(last, ',')) && among("(")) return true;
    if (gateOrDelay && among("[") && !(code == kSvType && closesStrength)) return true;
    if (operatorValueOrEnd) {
      // An instance's name: "leaf until (", "leaf #5 return [1:0] (", "leaf a (), endclass (".
      // SystemVerilog puts none of them between a name or number and "(" or "[" but for an
      // operator inside an expression, where the scan takes no names.
      const bool instance = last.kind == T::kId || last.kind == T::kNum || last.closesParameters || IsPunct(last, ',');
      if (instance && among("([")) return true;
      if (code == kSvOperator) return false;
    }
    if (context == kDeclares) return among(";,=()#");
    if (operatorValueOrEnd) return false;  // "return;", "endpackage : p"
    // An instance's or a declaration's name: "counter program (", "counter #(8) program (".
    if ((last.kind == T::kId || last.closesParameters) && among("([;,=")) return true;
    if (code == kSvType) {
      // "#(int, logic)", "type T = int;", "logic [7:0]" are types; after "(", "," or "]" a name ends there.
      if (among(";,)")) return IsPunct(last, '(') || IsPunct(last, ',') || IsPunct(last, ']');
      return among("=<>?+-/%&|^!.}");
    }
    return among(";,=)<>?+-/%&|^!.}:[]");
  }

  // Where an argument stands in an expansion, and where its text starts in the caller's source.
  struct Span {
    std::size_t from;
    std::size_t to;
    std::size_t origin;
  };
  struct Source {
    std::string_view text;
    std::size_t pos = 0;
    int parent = -1;
    std::size_t anchor = 0;  // where in the parent the directive that opened it stands
    bool isFile = true;
    std::string path;   // of a file; the macro's name for an expansion
    std::string key;    // the file's path without "." and ".." steps, for finding cycles
    LineCounter lines;  // of a file
    std::uint32_t firstSpan = 0;  // of an expansion: where its arguments stand, in m_spans
    std::uint32_t spans = 0;
  };
  struct Condition {
    bool parentActive;
    bool taken;
    bool active;
  };

  bool Active() const { return m_conditions.empty() || m_conditions.back().active; }

  // The line of the file scanned on which the text at `offset` of source `index` stands, or the
  // include that brought it in.
  std::uint32_t LineInFile(std::uint32_t index, std::size_t offset) {
    while (index != 0) {
      offset = m_sources[index].anchor;
      index = static_cast<std::uint32_t>(m_sources[index].parent);
    }
    return m_sources[0].lines.LineOf(offset);
  }

  // The macro's definition at this point of the file, where the text at `offset` of source `index`
  // looks at it; null when it is not defined.
  const Macro* Lookup(const std::string& name, std::uint32_t index, std::size_t offset) {
    auto found = m_macros.find(name);
    if (found == m_macros.end()) {
      // The file has not set it: it is as the file found it where it starts, which the result records.
      Known known;
      if (!m_clearedAll) {
        if (m_options.macrosAtStart) {
          known.definition = m_options.macrosAtStart(name);
        } else if (const auto given = m_given.find(name); given != m_given.end()) {
          known.definition = given->second;
        }
        m_result.macrosFound.push_back({name, known.definition});
        m_result.macrosFoundAt.push_back(LineInFile(index, offset));
      }
      found = m_macros.emplace(name, std::move(known)).first;
    }
    return found->second.definition ? &*found->second.definition : nullptr;
  }
  void Set(const std::string& name, std::optional<Macro> definition) {
    Known& known = m_macros[name];
    if (!known.own) m_ownOrder.push_back(name);
    known.definition = std::move(definition);
    known.own = true;
    known.setIn = m_directiveFile == 0 ? std::string() : m_sources[m_directiveFile].path;
  }

  void Message(MessageKind kind, std::uint32_t source, std::size_t offset, std::string text) {
    Tok at;
    at.source = source;
    at.offset = offset;
    AddMessage(m_result, kind, Severity::kWarning, PathOf(at), LineOf(at), std::move(text));
  }

  void SkipBlanks(std::uint32_t index) {
    Source& s = m_sources[index];
    const char* base = s.text.data();
    const char* p = base + s.pos;
    const char* end = base + s.text.size();
    while (p < end) {
      if (IsSpace(*p)) {
        ++p;
      } else if (*p == '/' && end - p > 1 && p[1] == '/') {
        const void* newline = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        p = newline ? static_cast<const char*>(newline) + 1 : end;
      } else if (*p == '/' && end - p > 1 && p[1] == '*') {
        p = SkipPast(p + 2, end, '*', '/');
        if (p == nullptr) {
          if (s.isFile) Message(MessageKind::kTruncated, index, s.pos, "a comment never ends");
          p = end;
        }
      } else if (*p == '(' && end - p > 2 && p[1] == '*' && p[2] != ')') {
        // An attribute (* ... *); "@(*)" is no attribute.
        const char* after = SkipPast(p + 2, end, '*', ')');
        p = after ? after : end;
      } else {
        break;
      }
      s.pos = static_cast<std::size_t>(p - base);
    }
    s.pos = static_cast<std::size_t>(p - base);
  }

  // Just past the next "ab" from p on; null when there is none.
  static const char* SkipPast(const char* p, const char* end, char a, char b) {
    for (;;) {
      p = static_cast<const char*>(std::memchr(p, a, static_cast<std::size_t>(end - p)));
      if (p == nullptr || end - p < 2) return nullptr;
      if (p[1] == b) return p + 2;
      ++p;
    }
  }

  static std::size_t SkipString(std::string_view text, std::size_t at) {
    ++at;
    while (at < text.size() && text[at] != '\n') {
      if (text[at] == '\\') {
        at += 2;
        continue;
      }
      if (text[at++] == '"') return at;
    }
    return std::min(at, text.size());
  }

  void SkipInactive(Source& s) {
    const std::string_view text = s.text;
    std::size_t at = s.pos;
    if (text[at] == '"') {
      s.pos = SkipString(text, at);
      return;
    }
    ++at;
    while (at < text.size() && text[at] != '`' && text[at] != '"' && text[at] != '/' && text[at] != '(') ++at;
    s.pos = at;
  }

  Tok Lex(std::uint32_t index) {
    Source& s = m_sources[index];
    const std::string_view text = s.text;
    std::size_t at = s.pos;
    Tok t;
    t.source = index;
    t.offset = at;
    const char c = text[at];
    if (IsIdentStart(c)) {
      const std::size_t start = at++;
      while (at < text.size() && (IsIdentChar(text[at]) || text[at] == '$')) ++at;
      t.text = text.substr(start, at - start);
      t.kw = m_keywords.Find(t.text.data(), t.text.size(), false);
      t.kind = t.kw != kNoKw ? T::kKw : T::kId;
    } else if (c == '\\') {
      // An escaped name runs to white space; "\cpu3 " and "cpu3" are one name.
      const std::size_t start = ++at;
      while (at < text.size() && !IsSpace(text[at])) ++at;
      t.text = text.substr(start, at - start);
      t.kind = t.text.empty() ? T::kPunct : T::kId;
      t.punct = '\\';
    } else if (c == '$') {
      const std::size_t start = at++;
      while (at < text.size() && (IsIdentChar(text[at]) || text[at] == '$')) ++at;
      t.text = text.substr(start, at - start);
      t.kind = T::kSysId;
    } else if (IsDigit(c) || (c == '\'' && BasedLiteralAt(text, at))) {
      const std::size_t start = at;
      while (at < text.size() && (IsIdentChar(text[at]) || text[at] == '.')) ++at;
      if (at < text.size() && BasedLiteralAt(text, at)) {
        ++at;
        while (at < text.size() && (text[at] == 's' || text[at] == 'S' || IsSpace(text[at]))) ++at;
        if (at < text.size()) ++at;  // the base
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
        while (at < text.size() && (IsIdentChar(text[at]) || text[at] == '?')) ++at;
      }
      t.text = text.substr(start, at - start);
      t.kind = T::kNum;
    } else if (c == '"') {
      const std::size_t end = SkipString(text, at);
      t.text = text.substr(at, end - at);
      t.kind = T::kStr;
      at = end;
    } else {
      t.kind = T::kPunct;
      t.punct = static_cast<unsigned char>(c);
      const std::size_t start = at++;
      if (c == ':' && at < text.size() && text[at] == ':') {
        t.punct = kScopePunct;
        ++at;
      }
      t.text = text.substr(start, at - start);
    }
    s.pos = at;
    return t;
  }

  // "'b0", "'sh1F", "'0": the tick of a number, not of a cast or an assignment pattern.
  static bool BasedLiteralAt(std::string_view text, std::size_t at) {
    if (text[at] != '\'' || at + 1 >= text.size()) return false;
    std::size_t next = at + 1;
    if (text[next] == 's' || text[next] == 'S') ++next;
    if (next >= text.size()) return false;
    switch (text[next]) {
      case 'b':
      case 'B':
      case 'o':
      case 'O':
      case 'd':
      case 'D':
      case 'h':
      case 'H':
        return true;
      case '0':
      case '1':
      case 'x':
      case 'X':
      case 'z':
      case 'Z':
        return next == at + 1 && (next + 1 >= text.size() || !IsIdentChar(text[next + 1]));
      default:
        return false;
    }
  }

  // ---- directives

  static std::string_view ReadName(std::string_view text, std::size_t& at) {
    const std::size_t start = at;
    if (at < text.size() && IsIdentStart(text[at])) {
      ++at;
      while (at < text.size() && (IsIdentChar(text[at]) || text[at] == '$')) ++at;
    }
    return text.substr(start, at - start);
  }
  static void SkipSpaces(std::string_view text, std::size_t& at, bool newlines) {
    while (at < text.size() &&
           (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || (newlines && IsSpace(text[at])))) {
      ++at;
    }
  }
  static void SkipLine(std::string_view text, std::size_t& at) {
    while (at < text.size() && text[at] != '\n') {
      if (text[at] == '\\' && at + 1 < text.size() && text[at + 1] == '\n') ++at;  // a continued line
      ++at;
    }
  }

  void Directive(std::uint32_t index) {
    const std::size_t backtick = m_sources[index].pos;
    std::string_view text = m_sources[index].text;
    std::size_t at = backtick + 1;
    const std::string_view name = ReadName(text, at);
    m_sources[index].pos = at;
    if (name.empty()) return;  // a lone backtick
    m_directiveFile = index;
    while (!m_sources[m_directiveFile].isFile)
      m_directiveFile = static_cast<std::uint32_t>(m_sources[m_directiveFile].parent);
    std::size_t& pos = m_sources[index].pos;

    if (name == "ifdef" || name == "ifndef" || name == "elsif") {
      SkipSpaces(text, pos, true);
      // Only a test that decides something looks the macro up: the file does not depend on the rest.
      const std::string macro(ReadName(text, pos));
      if (name == "elsif") {
        if (m_conditions.empty()) {
          Message(MessageKind::kSyntax, index, backtick, "`elsif without `ifdef");
          return;
        }
        Condition& c = m_conditions.back();
        c.active = c.parentActive && !c.taken && Lookup(macro, index, backtick) != nullptr;
        c.taken = c.taken || c.active;
        return;
      }
      const bool active = Active() && ((Lookup(macro, index, backtick) != nullptr) == (name == "ifdef"));
      m_conditions.push_back(Condition{Active(), active, active});
      return;
    }
    if (name == "else") {
      if (m_conditions.empty()) {
        Message(MessageKind::kSyntax, index, backtick, "`else without `ifdef");
        return;
      }
      Condition& c = m_conditions.back();
      c.active = c.parentActive && !c.taken;
      c.taken = true;
      return;
    }
    if (name == "endif") {
      if (m_conditions.empty()) {
        Message(MessageKind::kSyntax, index, backtick, "`endif without `ifdef");
        return;
      }
      m_conditions.pop_back();
      return;
    }
    if (!Active()) {
      if (name == "define") SkipLine(text, pos);
      return;
    }
    if (m_limitReported && name == "include") {
      SkipLine(text, pos);  // past the bound nothing more is read
      return;
    }
    if (name == "define") {
      Define(text, pos);
    } else if (name == "undef") {
      SkipSpaces(text, pos, false);
      const std::string macro(ReadName(text, pos));
      if (!macro.empty()) Set(macro, std::nullopt);
    } else if (name == "undefineall") {
      m_macros.clear();
      m_ownOrder.clear();
      m_clearedAll = true;
      m_result.undefinesAll = true;
    } else if (name == "include") {
      Include(index, backtick);
    } else if (name == "timescale" || name == "default_nettype" || name == "unconnected_drive" || name == "pragma" ||
               name == "line" || name == "begin_keywords" || name == "default_decay_time" ||
               name == "default_trireg_strength" || name == "delay_mode_distributed" || name == "delay_mode_path" ||
               name == "delay_mode_unit" || name == "delay_mode_zero") {
      SkipLine(text, pos);
    } else if (name == "resetall" || name == "celldefine" || name == "endcelldefine" || name == "nounconnected_drive" ||
               name == "end_keywords") {
      // nothing the scan needs
    } else if (name == "__FILE__") {
      Push(index, backtick, "\"" + m_sources[index].path + "\"", "__FILE__");
    } else if (name == "__LINE__") {
      Tok where;
      where.source = index;
      where.offset = backtick;
      Push(index, backtick, std::to_string(LineOf(where)), "__LINE__");
    } else {
      Expand(index, backtick, name);
    }
  }

  void Define(std::string_view text, std::size_t& at) {
    SkipSpaces(text, at, false);
    const std::string name(ReadName(text, at));
    if (name.empty()) {
      SkipLine(text, at);
      return;
    }
    Macro macro;
    if (at < text.size() && text[at] == '(') {
      macro.functionLike = true;
      ++at;
      for (;;) {
        SkipSpaces(text, at, true);
        const std::string_view param = ReadName(text, at);
        if (param.empty()) break;
        macro.params.emplace_back(param);
        SkipSpaces(text, at, true);
        std::string value;
        if (at < text.size() && text[at] == '=') {
          ++at;
          int depth = 0;
          while (at < text.size() && text[at] != '\n' && (depth > 0 || (text[at] != ',' && text[at] != ')'))) {
            if (text[at] == '(' || text[at] == '[' || text[at] == '{') ++depth;
            if (text[at] == ')' || text[at] == ']' || text[at] == '}') --depth;
            value.push_back(text[at++]);
          }
        }
        macro.defaults.push_back(std::move(value));
        if (at < text.size() && text[at] == ',') {
          ++at;
          continue;
        }
        break;
      }
      while (at < text.size() && text[at] != ')' && text[at] != '\n') ++at;
      if (at < text.size() && text[at] == ')') ++at;
    }
    // The body runs to the end of the line; a backslash before the newline continues it.
    std::string& body = macro.body;
    while (at < text.size() && text[at] != '\n') {
      const char c = text[at];
      if (c == '\\' && at + 1 < text.size() && (text[at + 1] == '\n' || text[at + 1] == '\r')) {
        at += text[at + 1] == '\r' && at + 2 < text.size() && text[at + 2] == '\n' ? 3 : 2;
        body.push_back('\n');
      } else if (c == '/' && at + 1 < text.size() && text[at + 1] == '/') {
        // A one-line comment is no part of the body, but a backslash that ends it still continues
        // the body on the next line.
        std::size_t end = at;
        while (end < text.size() && text[end] != '\n') ++end;
        const std::size_t last = end > at && text[end - 1] == '\r' ? end - 1 : end;
        if (end < text.size() && text[last - 1] == '\\') {
          at = end + 1;
          body.push_back('\n');
        } else {
          at = end;
        }
      } else if (c == '/' && at + 1 < text.size() && text[at + 1] == '*') {
        const std::size_t close = text.find("*/", at + 2);
        at = close == std::string_view::npos ? text.size() : close + 2;
        body.push_back(' ');
      } else if (c == '"') {
        const std::size_t end = SkipString(text, at);
        body.append(text.substr(at, end - at));
        at = end;
      } else {
        body.push_back(c);
        ++at;
      }
    }
    Set(name, std::move(macro));
  }

  void Expand(std::uint32_t index, std::size_t backtick, std::string_view name) {
    std::string_view text = m_sources[index].text;
    std::size_t& at = m_sources[index].pos;
    const Macro* found = Lookup(std::string(name), index, backtick);
    bool recursive = false;
    std::size_t depth = 0;
    for (std::uint32_t open : m_stack) {
      if (!m_sources[open].isFile) {
        ++depth;
        recursive = recursive || m_sources[open].path == name;
      }
    }
    if (recursive) recursive = Expanding(index, backtick, name);
    if (found == nullptr && !recursive && !m_clearedAll && !m_macros[std::string(name)].own) {
      // Not defined where the file starts, nor set by it since: a file after it may define it.
      std::vector<std::string>& unknown = m_result.macrosUsedUndefined;
      if (std::find(unknown.begin(), unknown.end(), name) == unknown.end()) {
        unknown.emplace_back(name);
        m_result.macrosUsedUndefinedAt.push_back(LineInFile(index, backtick));
      }
    }
    if (found == nullptr || recursive) {
      // An unknown macro stands for nothing; its arguments go with it.
      if (at < text.size() && text[at] == '(') SkipArguments(text, at, nullptr);
      return;
    }
    const Macro& macro = *found;
    std::vector<std::string> args;
    std::vector<std::size_t> argsAt;
    if (macro.functionLike) {
      std::size_t look = at;
      SkipSpaces(text, look, true);
      if (look < text.size() && text[look] == '(') {
        at = look;
        SkipArguments(text, at, &args, &argsAt);
      }
    }
    if (depth >= kMaxMacroDepth || m_expansions >= kMaxExpansions || m_limitReported) {
      LimitReached(index, backtick, "macros nest or repeat too often: expansion stopped");
      return;
    }
    const std::size_t spans = m_spans.size();
    std::string expansion = Substitute(macro, args, argsAt, m_spans);
    const std::size_t sources = m_sources.size();
    Push(index, backtick, std::move(expansion), name);
    if (m_sources.size() > sources) {
      m_sources.back().firstSpan = static_cast<std::uint32_t>(spans);
      m_sources.back().spans = static_cast<std::uint32_t>(m_spans.size() - spans);
    } else {
      m_spans.resize(spans);
    }
  }

  // Whether the text at `offset` of source `index` comes from an expansion of the macro `name`'s
  // own text. An argument's text is the caller's, however deep it is passed on: "`A(`A(x))" and a
  // body that calls `B given an argument that calls `B are no recursion.
  bool Expanding(std::uint32_t index, std::size_t offset, std::string_view name) const {
    while (!m_sources[index].isFile) {
      const Source& source = m_sources[index];
      const auto first = m_spans.begin() + source.firstSpan;
      const auto in = std::find_if(first, first + source.spans,
                                   [offset](const Span& span) { return offset >= span.from && offset < span.to; });
      if (in != first + source.spans) {
        offset = in->origin + (offset - in->from);
      } else {
        if (source.path == name) return true;
        offset = source.anchor;
      }
      index = static_cast<std::uint32_t>(source.parent);
    }
    return false;
  }

  // Reads "(a, b(c), d)" from `at`, which stands on the parenthesis; null args skips only. `argsAt`
  // gets where each argument, as trimmed, starts in `text`.
  static void SkipArguments(std::string_view text, std::size_t& at, std::vector<std::string>* args,
                            std::vector<std::size_t>* argsAt = nullptr) {
    int depth = 0;
    std::string current;
    std::size_t start = at + 1;
    const auto take = [&] {
      if (args) args->push_back(Trim(current));
      if (argsAt) {
        std::size_t lead = 0;
        while (lead < current.size() && IsSpace(current[lead])) ++lead;
        argsAt->push_back(start + lead);
      }
      current.clear();
      start = at;
    };
    while (at < text.size()) {
      const char c = text[at];
      if (c == '"') {
        const std::size_t end = SkipString(text, at);
        current.append(text.substr(at, end - at));
        at = end;
        continue;
      }
      ++at;
      if (c == '(' || c == '[' || c == '{') {
        if (depth++ == 0) continue;
      } else if (c == ')' || c == ']' || c == '}') {
        if (--depth == 0) break;
      } else if (c == ',' && depth == 1) {
        take();
        continue;
      }
      current.push_back(c);
    }
    take();
  }

  static std::string Trim(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsSpace(text[first])) ++first;
    while (last > first && IsSpace(text[last - 1])) --last;
    return text.substr(first, last - first);
  }

  // The macro's text with its arguments in place; `spans` gets where each argument stands in it.
  static std::string Substitute(const Macro& macro, const std::vector<std::string>& args,
                                const std::vector<std::size_t>& argsAt, std::vector<Span>& spans) {
    const std::string& body = macro.body;
    std::string out;
    out.reserve(body.size());
    std::size_t at = 0;
    while (at < body.size()) {
      const char c = body[at];
      if (c == '`' && at + 1 < body.size() && body[at + 1] == '`') {
        at += 2;  // token pasting
      } else if (c == '`' && at + 1 < body.size() && body[at + 1] == '"') {
        out.push_back('"');
        at += 2;
      } else if (c == '"') {
        const std::size_t end = SkipString(body, at);
        out.append(body, at, end - at);
        at = end;
      } else if (IsIdentStart(c) && macro.functionLike) {
        const std::size_t start = at;
        while (at < body.size() && (IsIdentChar(body[at]) || body[at] == '$')) ++at;
        const std::string_view word(body.data() + start, at - start);
        bool replaced = false;
        for (std::size_t i = 0; i < macro.params.size(); ++i) {
          if (macro.params[i] == word) {
            if (i < args.size() && !args[i].empty()) {
              spans.push_back(Span{out.size(), out.size() + args[i].size(), argsAt[i]});
              out.append(args[i]);
            } else {
              out.append(macro.defaults[i]);
            }
            replaced = true;
            break;
          }
        }
        if (!replaced) out.append(word);
      } else {
        out.push_back(c);
        ++at;
      }
    }
    return out;
  }

  void Push(std::uint32_t parent, std::size_t anchor, std::string text, std::string_view name) {
    m_expandedBytes += text.size();
    ++m_expansions;
    if (m_expandedBytes > m_options.maxExpansionBytes) {
      LimitReached(parent, anchor, "expanded text grows too large: expansion stopped");
      return;
    }
    m_owned.push_back(std::move(text));
    Source source;
    source.text = m_owned.back();
    source.parent = static_cast<int>(parent);
    source.anchor = anchor;
    source.isFile = false;
    source.path = std::string(name);
    m_sources.push_back(std::move(source));
    m_stack.push_back(static_cast<std::uint32_t>(m_sources.size() - 1));
  }

  void LimitReached(std::uint32_t index, std::size_t at, const char* text) {
    if (m_limitReported) return;
    m_limitReported = true;
    Message(MessageKind::kExpansionLimit, index, at, text);
  }

  // An include file's text, read once per scan however often it is included; null when unreadable.
  const std::string_view* Read(const std::string& path) {
    const auto known = m_read.find(path);
    if (known != m_read.end()) return known->second.data() ? &known->second : nullptr;
    std::string content;
    const ReadStatus status = ReadSource(m_options.reader, path, &content);
    std::string_view& text = m_read[path];
    if (status != ReadStatus::kOk) {
      m_result.includesMissing.push_back(path);  // once: the next look is answered from m_read
      return nullptr;
    }
    // Binary data ends an included file as it ends a scanned one.
    const std::size_t nul = content.find('\0');
    if (nul != std::string::npos) content.resize(nul);
    m_owned.push_back(std::move(content));
    text = std::string_view(m_owned.back().data(), m_owned.back().size());  // never null, even when empty
    return &text;
  }

  void Include(std::uint32_t index, std::size_t backtick) {
    std::string_view text = m_sources[index].text;
    std::size_t& at = m_sources[index].pos;
    SkipSpaces(text, at, false);
    std::string name;
    if (at < text.size() && (text[at] == '"' || text[at] == '<')) {
      const char close = text[at] == '"' ? '"' : '>';
      const std::size_t start = ++at;
      while (at < text.size() && text[at] != close && text[at] != '\n') ++at;
      name = std::string(text.substr(start, at - start));
      if (at < text.size() && text[at] == close) ++at;
    } else if (at < text.size() && text[at] == '`') {
      // `include `NAME, with NAME defined as the quoted file name.
      ++at;
      if (const Macro* found = Lookup(std::string(ReadName(text, at)), index, backtick)) {
        const std::string body = Trim(found->body);
        if (body.size() >= 2 && body.front() == '"' && body.back() == '"') name = body.substr(1, body.size() - 2);
      }
    }
    if (name.empty()) {
      Message(MessageKind::kSyntax, index, backtick, "`include without a file name");
      return;
    }
    std::size_t depth = 0;
    std::uint32_t file = index;
    while (!m_sources[file].isFile) file = static_cast<std::uint32_t>(m_sources[file].parent);
    for (std::uint32_t open : m_stack) depth += m_sources[open].isFile ? 1 : 0;
    if (depth > static_cast<std::size_t>(std::max(m_options.maxIncludeDepth, 0))) {
      Message(MessageKind::kIncludeDepth, index, backtick, "includes nest too deep at '" + name + "'");
      return;
    }
    std::vector<std::string> candidates;
    if (!name.empty() && name[0] == '/') {
      candidates.push_back(NormalizePath(name));
    } else {
      candidates.push_back(JoinPath(DirectoryOf(m_sources[file].path), name));
      for (const std::string& dir : m_options.includeDirs) candidates.push_back(JoinPath(dir, name));
    }
    for (const std::string& path : candidates) {
      for (std::uint32_t open : m_stack) {
        if (m_sources[open].isFile && m_sources[open].key == path) {
          Message(MessageKind::kIncludeCycle, index, backtick, "'" + name + "' includes itself");
          return;
        }
      }
      const std::string_view* content = Read(path);
      if (content == nullptr) continue;
      if (std::find(m_result.includes.begin(), m_result.includes.end(), path) == m_result.includes.end()) {
        m_result.includes.push_back(path);
      }
      m_expandedBytes += content->size();
      if (m_expandedBytes > m_options.maxExpansionBytes || ++m_includes > kMaxIncludes) {
        LimitReached(index, backtick, "included text grows too large: inclusion stopped");
        return;
      }
      Source source;
      source.text = *content;
      source.parent = static_cast<int>(index);
      source.anchor = backtick;
      source.path = path;
      source.key = path;
      source.lines = LineCounter(source.text);
      m_sources.push_back(std::move(source));
      m_stack.push_back(static_cast<std::uint32_t>(m_sources.size() - 1));
      return;
    }
    Message(MessageKind::kIncludeNotFound, index, backtick, "include file '" + name + "' not found");
  }

  const KeywordTable& m_keywords = Keywords();
  const ScanOptions& m_options;
  ScanResult& m_result;
  std::vector<Source> m_sources;
  std::vector<std::uint32_t> m_stack;
  std::deque<std::string> m_owned;
  std::vector<Span> m_spans;  // the expansions' arguments
  // A macro the file set, or looked up where it starts; no definition: not defined.
  struct Known {
    std::optional<Macro> definition;
    bool own = false;
    std::string setIn;  // the included file that set it; "": the file's own text
  };
  std::uint32_t m_directiveFile = 0;  // the file of the directive being read; 0: the file's own text
  std::unordered_map<std::string, Known> m_macros;
  std::unordered_map<std::string, Macro> m_given;  // the options' macros, without macrosAtStart
  std::vector<std::string> m_ownOrder;             // the macros the file set, as it first set them
  bool m_clearedAll = false;                       // after `undefineall nothing from before the file counts
  std::vector<Condition> m_conditions;
  std::size_t m_expandedBytes = 0;
  std::size_t m_expansions = 0;
  std::unordered_map<std::string, std::string_view> m_read;  // include files by path; null data: unreadable
  std::size_t m_includes = 0;
  bool m_limitReported = false;
  int m_depth = 0;             // of parentheses given
  int m_parametersDepth = -1;  // where the "#(" open stands; -1: none
  Seen m_last;                 // the token given last
  Tok m_hash;                  // the last "#" given
  Tok m_after;                 // read ahead: given next
  bool m_hasAfter = false;
};

bool IsUnitStart(std::uint8_t kw) {
  return kw == kModule || kw == kMacromodule || kw == kInterface || kw == kProgram || kw == kPackage ||
         kw == kPrimitive;
}
bool IsUnitEnd(std::uint8_t kw) {
  return kw == kEndmodule || kw == kEndinterface || kw == kEndprogram || kw == kEndpackage || kw == kEndprimitive;
}

class Parser : TLookahead<Lexer, Tok> {
 public:
  Parser(std::string_view text, std::string_view path, const ScanOptions& options, ScanResult& result)
      : TLookahead(text, path, options, result), m_result(result), m_path(path) {}

  void Run() {
    for (;;) {
      const Tok t = Next();
      if (t.kind == T::kEof) break;
      if (m_unit < 0) {
        Outside(t);
      } else {
        Inside(t);
      }
    }
    if (m_unit >= 0) {
      Current()->complete = false;
      AddMessage(m_result, MessageKind::kTruncated, Severity::kWarning, m_path, m_lexer.EndLine(),
                 "the file ends inside '" + Current()->name + "'");
      FinishInterface();
    }
    if (!m_result.units.empty()) {
      std::vector<Reference>& refs = m_result.units.back().references;
      refs.insert(refs.end(), std::make_move_iterator(m_fileBinds.begin()), std::make_move_iterator(m_fileBinds.end()));
    }
    m_lexer.Finish();
  }

 private:
  // ---- tokens

  static bool IsKw(const Tok& t, Kw kw) { return t.kind == T::kKw && t.kw == kw; }
  static bool IsPunct(const Tok& t, std::uint16_t punct) { return t.kind == T::kPunct && t.punct == punct; }
  static bool IsName(const Tok& t) { return t.kind == T::kId; }

  // ---- units and references

  Unit* Current() { return m_unit >= 0 ? &m_result.units[static_cast<std::size_t>(m_unit)] : nullptr; }

  void AddRef(RefKind kind, std::string_view name, std::string label, const Tok& at) {
    std::vector<Reference>& refs = m_unit >= 0 ? Current()->references : m_fileImports;
    if (kind == RefKind::kImport || kind == RefKind::kScope) {
      if (name == "std") return;  // the built-in package
      // A package is listed once, where it is first named.
      if (!(m_unit >= 0 ? m_unitPackages : m_filePackages).emplace(name).second) return;
    }
    Reference ref;
    ref.kind = kind;
    ref.name = std::string(name);
    ref.label = std::move(label);
    ref.line = m_lexer.LineOf(at);
    if (kind == RefKind::kInstance && m_unit >= 0) ref.scope = EnterScopes(m_scopes, Current()->scopes);
    refs.push_back(std::move(ref));
  }

  // A name followed by "::" names a package (or a class, which the project never finds).
  void ScopeReference(const Tok& t) {
    if (IsName(t) && IsPunct(Peek(0), kScopePunct)) AddRef(RefKind::kScope, t.text, {}, t);
  }

  void Outside(const Tok& t) {
    if (t.kind == T::kKw && t.kw == kBind) {
      Bind();
      return;
    }
    if (t.kind == T::kKw) {
      if (IsUnitStart(t.kw)) {
        if (IsKw(m_prev, kExtern)) {
          SkipPastSemicolon();
        } else if (t.kw == kInterface && IsKw(Peek(0), kClass)) {
          Next();
          SkipBlock(kClass, kEndclass);
        } else {
          Header(t);
        }
        return;
      }
      switch (t.kw) {
        case kImport:
          if (Peek(0).kind == T::kStr) {
            SkipPastSemicolon();
          } else {
            const std::string text = ImportText(t);
            if (m_fileImportTexts.size() < kMaxDeclarations) m_fileImportTexts.push_back(text);
          }
          return;
        case kClass:
          if (!IsKw(m_prev, kTypedef)) SkipBlock(kClass, kEndclass);
          return;
        case kConfig:
          SkipBlock(kConfig, kEndconfig);
          return;
        case kFunction:
          SkipBlock(kFunction, kEndfunction);
          return;
        case kTask:
          SkipBlock(kTask, kEndtask);
          return;
        case kChecker:
          SkipBlock(kChecker, kEndchecker);
          return;
        case kCovergroup:
          SkipBlock(kCovergroup, kEndgroup);
          return;
        case kProperty:
        case kSequence:
          SkipPropertyDeclaration(t);
          return;
        default:
          return;
      }
    }
    ScopeReference(t);
  }

  void Header(const Tok& keyword) {
    UnitKind kind = UnitKind::kVerilogModule;
    switch (keyword.kw) {
      case kInterface:
        kind = UnitKind::kVerilogInterface;
        m_unitEnd = kEndinterface;
        break;
      case kProgram:
        kind = UnitKind::kVerilogProgram;
        m_unitEnd = kEndprogram;
        break;
      case kPackage:
        kind = UnitKind::kVerilogPackage;
        m_unitEnd = kEndpackage;
        break;
      case kPrimitive:
        kind = UnitKind::kVerilogPrimitive;
        m_unitEnd = kEndprimitive;
        break;
      default:
        m_unitEnd = kEndmodule;
        break;
    }
    if (Peek(0).kind == T::kKw && Peek(0).kw == kLifetime) Next();
    if (!IsName(Peek(0))) return;
    const Tok name = Next();
    Unit unit;
    unit.kind = kind;
    unit.name = std::string(name.text);
    unit.line = m_lexer.LineOf(name);
    unit.references = m_fileImports;  // compilation-unit imports reach every later unit
    m_unitPackages = m_filePackages;
    m_result.units.push_back(std::move(unit));
    m_unit = static_cast<int>(m_result.units.size() - 1);
    m_scopes.clear();
    m_depth = 0;
    m_pendingLabel = {};
    m_interfaceBytes = 0;
    m_headerParameters = false;
    m_untypedPorts = 0;
    m_parameterBytes = 0;
    m_portIndex.clear();
    m_bodyParameters.clear();
    Interface& interface = Current()->interface;
    // Compilation-unit imports reach every later unit; what all units copy of them is bounded.
    for (const std::string& text : m_fileImportTexts) {
      if (m_contextBudget < text.size()) {
        interface.complete = false;
        break;
      }
      m_contextBudget -= text.size();
      if (!AddBounded(interface, interface.context, text, m_interfaceBytes)) break;
    }
    for (;;) {
      const Tok& next = Peek(0);
      if (next.kind == T::kEof || IsPunct(next, ';')) break;
      if (next.kind == T::kKw && (IsUnitStart(next.kw) || IsUnitEnd(next.kw))) return;
      const Tok t = Next();
      if (IsKw(t, kImport)) {
        // A header import ends with its own semicolon.
        AddBounded(Current()->interface, Current()->interface.context, ImportText(t), m_interfaceBytes);
      } else if (IsPunct(t, '(')) {
        if (PortList()) Current()->hasPorts = true;
      } else if (IsPunct(t, '#') && IsPunct(Peek(0), '(')) {
        Next();
        ParameterList();
      } else {
        ScopeReference(t);
      }
    }
    if (IsPunct(Peek(0), ';')) Next();
    m_statementStart = true;
  }

  void EndUnit() {
    FinishInterface();
    m_unit = -1;
    m_scopes.clear();
    m_depth = 0;
    m_pendingLabel = {};
    if (IsPunct(Peek(0), ':') && IsName(Peek(1))) {
      Next();
      Next();
    }
  }

  void Import() {
    while (IsName(Peek(0)) && IsPunct(Peek(1), kScopePunct)) {
      const Tok package = Next();
      Next();
      Next();  // the name or '*'
      AddRef(RefKind::kImport, package.text, {}, package);
      if (!IsPunct(Peek(0), ',')) break;
      Next();
    }
  }

  void Inside(const Tok& t) {
    bool starts = false;
    switch (t.kind) {
      case T::kPunct:
        switch (t.punct) {
          case '(':
          case '[':
          case '{':
            ++m_depth;
            break;
          case ')':
          case ']':
          case '}':
            if (m_depth > 0) --m_depth;
            starts = m_depth == 0 && t.punct == ')';  // after "if (...)" or "for (...)"
            break;
          case ';':
            if (m_depth == 0) {
              starts = true;
              m_pendingLabel = {};
            }
            break;
          case ':':
            starts = m_depth == 0;  // after a case item or a label
            break;
          default:
            break;
        }
        break;
      case T::kId:
        if (IsPunct(Peek(0), kScopePunct)) {
          AddRef(RefKind::kScope, t.text, {}, t);
        } else if (m_statementStart && m_depth == 0) {
          if (IsPunct(Peek(0), ':')) {
            m_pendingLabel = t.text;
          } else {
            Instances(t);
          }
        }
        break;
      case T::kKw:
        starts = Keyword(t);
        break;
      default:
        break;
    }
    m_statementStart = starts;
  }

  // Returns whether a statement may start after it.
  bool Keyword(const Tok& t) {
    if (t.kw == m_unitEnd) {
      EndUnit();
      return true;
    }
    if (m_depth == 0 && IsUnitStart(t.kw) && !(t.kw == kInterface && IsKw(Peek(0), kClass))) {
      // Units do not nest here: the open one lost its end.
      Current()->complete = false;
      AddMessage(m_result, MessageKind::kSyntax, Severity::kWarning, m_lexer.PathOf(t), m_lexer.LineOf(t),
                 "'" + Current()->name + "' has no end before the next unit");
      EndUnit();
      Header(t);
      return true;
    }
    if (m_depth > 0) {
      // These never stand inside brackets: an unbalanced one must not hide the rest of the unit.
      if (t.kw != kBegin && t.kw != kEnd && t.kw != kGenerate && t.kw != kEndgenerate) {
        return false;
      }
      m_depth = 0;
    }
    if (t.kw == kBind && m_statementStart) {
      Bind();
      return true;
    }
    if (t.kw == kOtherKw && m_statementStart && m_scopes.empty() && BodyDeclaration(t)) return true;
    switch (t.kw) {
      case kBegin: {
        std::string_view label = m_pendingLabel;
        if (IsPunct(Peek(0), ':') && IsName(Peek(1))) {
          Next();
          label = Next().text;
        }
        m_scopes.push_back(Block{label});
        m_pendingLabel = {};
        return true;
      }
      case kEnd:
        if (!m_scopes.empty()) m_scopes.pop_back();
        [[fallthrough]];
      case kJoin:
        // "initial fork ... join" ends a statement as "end" does; "fork" opens no scope, which
        // "wait fork" and "disable fork" would leave open.
        if (IsPunct(Peek(0), ':') && IsName(Peek(1))) {
          Next();
          Next();
        }
        return true;
      case kGenerate:
      case kEndgenerate:
      case kElse:
      case kEndcase:
        return true;
      case kImport:
        if (Peek(0).kind == T::kStr) {
          SkipPastSemicolon();  // a DPI import
          return true;
        }
        Import();
        return false;
      case kExport:
      case kExtern:
        SkipPastSemicolon();
        return true;
      case kFunction:
        SkipBlock(kFunction, kEndfunction);
        return true;
      case kTask:
        SkipBlock(kTask, kEndtask);
        return true;
      case kClass:
        if (IsKw(m_prev, kTypedef)) return false;
        SkipBlock(kClass, kEndclass);
        return true;
      case kCovergroup:
        SkipBlock(kCovergroup, kEndgroup);
        return true;
      case kProperty:
      case kSequence:
        return SkipPropertyDeclaration(t);
      case kSpecify:
        SkipBlock(kSpecify, kEndspecify);
        return true;
      case kTable:
        SkipBlock(kTable, kEndtable);
        return true;
      case kChecker:
        SkipBlock(kChecker, kEndchecker);
        return true;
      default:
        return false;
    }
  }

  // "bind target [: instance, ...] module [#(...)] name (...) [, ...];": the module counts as
  // instantiated, where the target is, which the scan does not follow.
  void Bind() {
    const auto hierarchicalName = [this] {
      if (!IsName(Peek(0))) return false;
      Next();
      for (;;) {
        if (IsPunct(Peek(0), '[')) {
          Next();
          SkipBalanced('[', ']');
        } else if (IsPunct(Peek(0), '.') && IsName(Peek(1))) {
          Next();
          Next();
        } else {
          return true;
        }
      }
    };
    if (hierarchicalName() && IsPunct(Peek(0), ':')) {
      Next();
      while (hierarchicalName() && IsPunct(Peek(0), ',')) Next();
    }
    if (IsName(Peek(0))) {
      const Tok module = Next();
      Reference ref;
      ref.kind = RefKind::kBind;
      ref.name = std::string(module.text);
      ref.line = m_lexer.LineOf(module);
      if (m_unit >= 0) {
        Current()->references.push_back(std::move(ref));
      } else if (m_fileBinds.size() < kMaxDeclarations) {
        m_fileBinds.push_back(std::move(ref));
      }
    }
    SkipPastSemicolon();
  }

  // "type [#(...)] name [range] (...) [, name [range] (...)]": instances of a module, interface,
  // program or primitive.
  void Instances(const Tok& type) {
    if (IsPunct(Peek(0), '#')) {
      Next();
      if (IsPunct(Peek(0), '(')) {
        Next();
        SkipBalanced('(', ')');
      } else {
        Next();  // "#5" or "#PARAM"
      }
      if (!IsName(Peek(0))) return;
    } else if (!IsName(Peek(0))) {
      return;
    }
    if (!IsPunct(Peek(1), '(') && !IsPunct(Peek(1), '[')) return;  // a declaration
    for (;;) {
      const Tok name = Next();
      std::string label(name.text);
      while (IsPunct(Peek(0), '[')) ReadRange(label);
      if (!IsPunct(Peek(0), '(')) return;  // an array declaration
      Next();
      SkipBalanced('(', ')');
      AddRef(RefKind::kInstance, type.text, std::move(label), name);
      if (!IsPunct(Peek(0), ',') || !IsName(Peek(1))) return;
      Next();
    }
  }

  // Appends "[7:0]" as written, without blanks; long ranges are cut short.
  void ReadRange(std::string& label) {
    constexpr std::size_t kMaxLabel = 96;
    int depth = 0;
    for (;;) {
      const Tok& next = Peek(0);
      if (next.kind == T::kEof || (next.kind == T::kKw && (IsUnitStart(next.kw) || IsUnitEnd(next.kw)))) return;
      const Tok t = Next();
      if (label.size() + t.text.size() <= kMaxLabel) label.append(t.text);
      if (IsPunct(t, '[')) ++depth;
      if (IsPunct(t, ']') && --depth <= 0) return;
    }
  }

  // Skips to the close that balances an open already read; says whether a name stood inside, and
  // in `closed` whether the close came.
  bool SkipBalanced(std::uint16_t open, std::uint16_t close, bool* closed = nullptr) {
    int depth = 1;
    bool sawName = false;
    if (closed != nullptr) *closed = false;
    for (;;) {
      const Tok& next = Peek(0);
      if (next.kind == T::kEof) return sawName;
      if (next.kind == T::kKw && (IsUnitEnd(next.kw) || (IsUnitStart(next.kw) && next.kw != kInterface))) {
        return sawName;  // the list never closed
      }
      const Tok t = Next();
      if (IsPunct(t, open)) {
        ++depth;
      } else if (IsPunct(t, close)) {
        if (--depth == 0) {
          if (closed != nullptr) *closed = true;
          return sawName;
        }
      } else if (IsName(t)) {
        sawName = true;
        ScopeReference(t);
      }
    }
  }

  // ---- parameters and ports

  static bool IsOpen(const Tok& t) { return IsPunct(t, '(') || IsPunct(t, '[') || IsPunct(t, '{'); }
  static bool IsClose(const Tok& t) { return IsPunct(t, ')') || IsPunct(t, ']') || IsPunct(t, '}'); }
  static bool IsEscaped(const Tok& t) { return t.punct == '\\'; }
  static bool IsDirection(const Tok& t) {
    return t.kind == T::kKw && (t.text == "input" || t.text == "output" || t.text == "inout" || t.text == "ref");
  }
  static bool IsDataWord(std::string_view word) {
    static const std::unordered_set<std::string_view> kWords = {
        "wire",  "reg",     "logic",   "tri",     "tri0", "tri1",    "triand",   "trior",   "trireg",
        "wand",  "wor",     "uwire",   "supply0", "supply1", "var",  "integer",  "bit",     "byte",
        "int",   "shortint", "longint", "time",    "real", "realtime", "shortreal"};
    return kWords.count(word) != 0;
  }

  // A directive that leaves the text between two tokens other than what was read.
  static bool HasDirective(std::string_view text) {
    static const std::unordered_set<std::string_view> kDirectives = {
        "ifdef", "ifndef", "elsif", "else", "endif", "define", "undef", "undefineall", "include", "line",
        "resetall", "timescale", "default_nettype", "celldefine", "endcelldefine", "pragma", "begin_keywords",
        "end_keywords", "unconnected_drive", "nounconnected_drive"};
    for (std::size_t at = text.find('`'); at != std::string_view::npos; at = text.find('`', at + 1)) {
      std::size_t end = at + 1;
      while (end < text.size() && IsIdentChar(text[end])) ++end;
      if (kDirectives.count(text.substr(at + 1, end - at - 1)) != 0) return true;
    }
    return false;
  }

  // The text of tokens [from, to) as written, the macros used in it among it. Tokens that came from
  // a macro or an include at either end are joined as the preprocessor gave them.
  std::string Span(const std::vector<Tok>& tokens, std::size_t from, std::size_t to) const {
    if (from >= to) return {};
    std::string_view raw;
    if (m_lexer.FileText(tokens[from], tokens[to - 1], &raw) && !HasDirective(raw)) return CleanText(raw, false);
    // Blanks where the text had them; between texts, only between words.
    const auto word = [](const Tok& t) { return t.kind != T::kPunct || IsEscaped(t); };
    std::string joined;
    for (std::size_t i = from; i < to; ++i) {
      const Tok& t = tokens[i];
      if (i > from) {
        const Tok& before = tokens[i - 1];
        const bool blank = before.source == t.source
                               ? before.text.data() + before.text.size() != t.text.data() - (IsEscaped(t) ? 1 : 0)
                               : word(before) && word(t);
        if (blank || IsEscaped(before)) joined.push_back(' ');
      }
      if (IsEscaped(t)) joined.push_back('\\');
      joined.append(t.text);
    }
    return joined;
  }

  // The items of a list or declaration, split at its commas: [from, to) pairs.
  static std::vector<std::pair<std::size_t, std::size_t>> Items(const std::vector<Tok>& tokens, std::size_t from) {
    std::vector<std::pair<std::size_t, std::size_t>> items;
    int depth = 0;
    std::size_t start = from;
    for (std::size_t i = from; i < tokens.size(); ++i) {
      if (IsOpen(tokens[i])) ++depth;
      if (IsClose(tokens[i]) && depth > 0) --depth;
      if (depth == 0 && IsPunct(tokens[i], ',')) {
        items.emplace_back(start, i);
        start = i + 1;
      }
    }
    items.emplace_back(start, tokens.size());
    return items;
  }

  // The parts of "... name [dims] = value" in [from, to): where the name stands, where its
  // dimensions begin and where its value's "=" stands (`to` when none); false without a name.
  struct Parts {
    std::size_t name = 0;
    std::size_t dims = 0;
    std::size_t assign = 0;
  };
  static bool SplitItem(const std::vector<Tok>& tokens, std::size_t from, std::size_t to, Parts* parts) {
    std::size_t assign = from;
    for (int depth = 0; assign < to && !(depth == 0 && IsPunct(tokens[assign], '=')); ++assign) {
      if (IsOpen(tokens[assign])) ++depth;
      if (IsClose(tokens[assign])) --depth;
    }
    std::size_t dims = assign;
    while (dims > from && IsPunct(tokens[dims - 1], ']')) {
      std::size_t open = dims - 1;
      for (int depth = 0; open > from; --open) {
        if (IsPunct(tokens[open], ']')) ++depth;
        if (IsPunct(tokens[open], '[') && --depth == 0) break;
      }
      if (!IsPunct(tokens[open], '[')) break;
      dims = open;
    }
    if (dims == from || !IsName(tokens[dims - 1])) return false;
    *parts = Parts{dims - 1, dims, assign};
    return true;
  }

  Declaration Declare(const std::vector<Tok>& tokens, std::size_t typeFrom, const Parts& parts, std::size_t to) const {
    Declaration declaration;
    declaration.name = std::string(tokens[parts.name].text);
    declaration.type = Span(tokens, typeFrom, parts.name);
    declaration.dims = Span(tokens, parts.dims, parts.assign);
    if (parts.assign < to) declaration.value = Span(tokens, parts.assign + 1, to);
    return declaration;
  }

  // "import p::*, q::x;" from its keyword, already taken, as written.
  std::string ImportText(const Tok& keyword) {
    std::vector<Tok>& tokens = m_tokens;
    {
      Recording recording(*this, tokens);
      Import();
      if (IsPunct(Peek(0), ';')) Next();
    }
    tokens.insert(tokens.begin(), keyword);
    return Span(tokens, 0, tokens.size());
  }

  // The header's list after "#(": "parameter int W = 8, N = 2, localparam M = W * N, type T = logic".
  // An item without a keyword continues the one before; the first is a parameter.
  void ParameterList() {
    std::vector<Tok>& tokens = m_tokens;
    bool closed = false;
    Interface& interface = Current()->interface;
    {
      Recording recording(*this, tokens);
      SkipBalanced('(', ')', &closed);
      if (recording.cut()) interface.complete = false;
    }
    if (closed) tokens.pop_back();
    m_headerParameters = true;
    const Declaration* before = nullptr;
    for (const auto& [from, to] : Items(tokens, 0)) {
      std::size_t at = from;
      std::string keyword;
      if (at < to && tokens[at].kind == T::kKw && (tokens[at].text == "parameter" || tokens[at].text == "localparam")) {
        keyword = std::string(tokens[at++].text);
      }
      Parts parts;
      if (!SplitItem(tokens, at, to, &parts)) continue;
      Declaration declaration = Declare(tokens, at, parts, to);
      if (keyword.empty() && at == parts.name && before != nullptr) {
        declaration.mode = before->mode;
        declaration.type = before->type;
      } else {
        declaration.mode = !keyword.empty() ? keyword : before != nullptr ? before->mode : "parameter";
      }
      if (!AddBounded(interface, interface.generics, std::move(declaration), m_interfaceBytes)) return;
      before = &interface.generics.back();
    }
  }

  // The header's list after "(": declarations ("input logic [7:0] a, b, axi_if.master bus"), or,
  // when its first item is only a name, the names of ports the body declares. Says whether a name
  // stood inside.
  bool PortList() {
    std::vector<Tok>& tokens = m_tokens;
    bool closed = false;
    bool sawName = false;
    Interface& interface = Current()->interface;
    {
      Recording recording(*this, tokens);
      sawName = SkipBalanced('(', ')', &closed);
      if (recording.cut()) interface.complete = false;
    }
    if (closed) tokens.pop_back();
    if (tokens.empty()) return sawName;
    const auto items = Items(tokens, 0);
    // A name alone, a name with a select, ".name(...)" or "{...}": a port declared in the body.
    const auto [firstFrom, firstTo] = items.front();
    bool bodyDeclared = firstFrom < firstTo && (IsPunct(tokens[firstFrom], '.') || IsPunct(tokens[firstFrom], '{'));
    if (firstFrom < firstTo && IsName(tokens[firstFrom])) {
      std::size_t at = firstFrom + 1;
      while (at < firstTo && IsPunct(tokens[at], '[')) {
        for (int depth = 0; at < firstTo; ++at) {
          if (IsPunct(tokens[at], '[')) ++depth;
          if (IsPunct(tokens[at], ']') && --depth == 0) break;
        }
        ++at;
      }
      bodyDeclared = at >= firstTo;
    }
    interface.ansi = !bodyDeclared;
    const Declaration* before = nullptr;
    for (const auto& [from, to] : items) {
      if (from >= to) continue;
      Declaration declaration;
      if (bodyDeclared) {
        if (to - from == 1 && IsName(tokens[from])) {
          declaration.name = std::string(tokens[from].text);
        } else if (to - from >= 3 && IsPunct(tokens[from], '.') && IsName(tokens[from + 1])) {
          declaration.name = std::string(tokens[from + 1].text);
        } else {
          declaration.name = Span(tokens, from, to);  // a port of several nets: its expression
        }
      } else if (!AnsiPort(tokens, from, to, before, &declaration)) {
        continue;
      }
      if (!AddBounded(interface, interface.ports, std::move(declaration), m_interfaceBytes)) return sawName;
      before = &interface.ports.back();
      if (bodyDeclared) {
        if (m_portIndex.emplace(before->name, interface.ports.size() - 1).second) ++m_untypedPorts;
      }
    }
    return sawName;
  }

  // One item of a list of ANSI ports. Without direction or type it continues the port before; a
  // data type without a direction takes the one before, or "inout" first of all. A type that is only
  // a name may be an interface, which has no direction: its direction is left as written.
  bool AnsiPort(const std::vector<Tok>& tokens, std::size_t at, std::size_t to, const Declaration* before,
                Declaration* declaration) const {
    std::string direction;
    if (IsDirection(tokens[at])) direction = std::string(tokens[at++].text);
    Parts parts;
    if (at + 1 < to && IsPunct(tokens[at], '.') && IsName(tokens[at + 1])) {
      // ".name(expression)": the port's name, its nets left out
      declaration->name = std::string(tokens[at + 1].text);
      declaration->mode = !direction.empty() ? direction : before != nullptr ? before->mode : std::string();
      return true;
    }
    if (!SplitItem(tokens, at, to, &parts)) return false;
    *declaration = Declare(tokens, at, parts, to);
    if (!direction.empty()) {
      declaration->mode = std::move(direction);
    } else if (at == parts.name && before != nullptr) {
      declaration->mode = before->mode;
      declaration->type = before->type;
    } else {
      bool dataType = false;
      for (std::size_t i = at; i < parts.name && !dataType; ++i) {
        dataType = (tokens[i].kind == T::kKw && tokens[i].kw != kInterface) || IsPunct(tokens[i], '[') ||
                   IsPunct(tokens[i], kScopePunct);
      }
      if (dataType) declaration->mode = before != nullptr ? before->mode : "inout";
    }
    return true;
  }

  // A port, parameter, net or variable declaration at the unit's top level, taken to its semicolon:
  // ports when the header only names them, parameters always, nets and variables while a port has
  // no type. False, with nothing taken, for any other word.
  bool BodyDeclaration(const Tok& keyword) {
    Interface& interface = Current()->interface;
    const bool port = IsDirection(keyword) && !interface.ansi;
    const bool parameter = keyword.text == "parameter" || keyword.text == "localparam";
    const bool data = m_untypedPorts > 0 && IsDataWord(keyword.text);
    if (!port && !parameter && !data) return false;
    std::vector<Tok>& tokens = m_tokens;
    {
      Recording recording(*this, tokens);
      // Up to the semicolon; a word no declaration holds ends it early, as when the semicolon is missing.
      for (;;) {
        const Tok& next = Peek(0);
        if (next.kind == T::kEof || (next.kind == T::kKw && next.kw != kOtherKw)) break;
        const Tok t = Next();
        if (IsPunct(t, ';')) break;
        ScopeReference(t);
      }
      if (recording.cut()) interface.complete = false;
    }
    if (!tokens.empty() && IsPunct(tokens.back(), ';')) tokens.pop_back();
    tokens.insert(tokens.begin(), keyword);
    // The first item holds the mode and type the others share, copied only where they are kept; a
    // net's or variable's keyword is part of its type.
    const std::size_t typeFrom = port || parameter ? 1 : 0;
    std::optional<Declaration> first;
    for (const auto& [from, to] : Items(tokens, 0)) {
      const std::size_t at = first ? from : std::max(from, typeFrom);
      Parts parts;
      if (!SplitItem(tokens, at, to, &parts)) continue;
      if (!first) {
        first = Declare(tokens, at, parts, to);
        if (port || parameter) first->mode = std::string(keyword.text);
      }
      const std::string name(tokens[parts.name].text);
      if (parameter) {
        Declaration declaration = Declare(tokens, parts.name, parts, to);
        declaration.mode = keyword.text == "parameter" && !m_headerParameters ? "parameter" : "localparam";
        declaration.type = first->type;
        m_parameterBytes += name.size() + declaration.type.size() + declaration.dims.size() + declaration.value.size();
        if (m_bodyParameters.size() >= kMaxDeclarations || m_parameterBytes > kMaxInterfaceBytes) {
          interface.complete = false;
          return true;
        }
        const bool overridable = declaration.mode == "parameter";
        m_bodyParameters.push_back({std::move(declaration), overridable});
        continue;
      }
      const auto found = m_portIndex.find(name);
      if (found == m_portIndex.end()) continue;
      Declaration& target = interface.ports[found->second];
      const bool untyped = target.type.empty();
      const std::string dims = Span(tokens, parts.dims, parts.assign);
      m_interfaceBytes += first->mode.size() + first->type.size() + dims.size();
      if (m_interfaceBytes > kMaxInterfaceBytes) {
        interface.complete = false;
        interface.ports.clear();
        m_portIndex.clear();
        m_untypedPorts = 0;
        return true;
      }
      if (port) target.mode = first->mode;
      if (untyped) target.type = first->type;
      if (target.dims.empty()) target.dims = dims;
      if (untyped && !target.type.empty()) --m_untypedPorts;
    }
    return true;
  }

  // The names in a text, to find which local parameters the ports need.
  static void AddWords(std::string_view text, std::unordered_set<std::string>& words) {
    for (std::size_t at = 0; at < text.size();) {
      if (!IsIdentStart(text[at])) {
        ++at;
        continue;
      }
      const std::size_t start = at;
      while (at < text.size() && (IsIdentChar(text[at]) || text[at] == '$')) ++at;
      words.emplace(text.substr(start, at - start));
    }
  }

  // At the unit's end: its body's parameters, when the header has none, and the local parameters
  // that the ports declared in the body need, one naming another included.
  void FinishInterface() {
    Interface& interface = Current()->interface;
    std::unordered_set<std::string> needed;
    if (!interface.ansi) {
      for (const Declaration& port : interface.ports) {
        AddWords(port.type, needed);
        AddWords(port.dims, needed);
      }
    }
    std::vector<bool> keep(m_bodyParameters.size(), false);
    for (std::size_t i = m_bodyParameters.size(); i-- > 0;) {
      const auto& [declaration, overridable] = m_bodyParameters[i];
      if (!overridable && (interface.ansi || needed.count(declaration.name) == 0)) continue;
      keep[i] = true;
      AddWords(declaration.type, needed);
      AddWords(declaration.dims, needed);
      AddWords(declaration.value, needed);
    }
    for (std::size_t i = 0; i < m_bodyParameters.size(); ++i) {
      if (keep[i] &&
          !AddBounded(interface, interface.generics, std::move(m_bodyParameters[i].declaration), m_interfaceBytes)) {
        break;
      }
    }
    m_bodyParameters.clear();
    m_portIndex.clear();
    m_untypedPorts = 0;
  }

  // Skips a body up to its end word, nested ones included; stops short of the unit's end.
  void SkipBlock(std::uint8_t open, std::uint8_t close) {
    int depth = 1;
    for (;;) {
      const Tok& next = Peek(0);
      if (next.kind == T::kEof) return;
      if (next.kind == T::kKw && m_unit >= 0 && next.kw == m_unitEnd) {
        AddMessage(m_result, MessageKind::kSyntax, Severity::kWarning, m_lexer.PathOf(next), m_lexer.LineOf(next),
                   "a block has no end before the end of '" + Current()->name + "'");
        return;
      }
      const Tok t = Next();
      if (t.kind == T::kKw) {
        if (t.kw == open && !(open == kClass && IsKw(m_prev, kTypedef))) ++depth;
        if (t.kw == close && --depth == 0) {
          if (IsPunct(Peek(0), ':') && IsName(Peek(1))) {
            Next();
            Next();
          }
          return;
        }
      } else {
        ScopeReference(t);
      }
    }
  }

  // A property or sequence declaration, skipped whole, in a unit and outside one alike; false for
  // "assert property (p)", "cover sequence (s)", which declare nothing.
  bool SkipPropertyDeclaration(const Tok& keyword) {
    if (IsKw(m_prev, kAssertion)) return false;
    SkipBlock(keyword.kw, keyword.kw == kProperty ? kEndproperty : kEndsequence);
    return true;
  }

  void SkipPastSemicolon() {
    for (;;) {
      const Tok& next = Peek(0);
      if (next.kind == T::kEof || (next.kind == T::kKw && (IsUnitEnd(next.kw) || IsUnitStart(next.kw)))) return;
      if (IsPunct(Next(), ';')) return;
    }
  }

  ScanResult& m_result;
  std::string_view m_path;

  int m_unit = -1;
  std::uint8_t m_unitEnd = kEndmodule;
  std::vector<Reference> m_fileImports;
  std::vector<Reference> m_fileBinds;  // outside a unit

  std::unordered_set<std::string> m_filePackages;  // the packages m_fileImports names
  std::unordered_set<std::string> m_unitPackages;  // those the open unit's references name

  struct Block {
    std::string_view label;  // empty for an unnamed block
    std::uint32_t scope = kScopeNotEntered;
  };
  std::vector<Block> m_scopes;  // the begin-end blocks open

  int m_depth = 0;  // of parentheses, brackets and braces
  bool m_statementStart = true;
  std::string_view m_pendingLabel;  // "label :" before a begin

  // The open unit's interface as it is read.
  struct BodyParameter {
    Declaration declaration;
    bool overridable = false;  // a parameter of a unit whose header has none; else kept when needed
  };
  std::vector<std::string> m_fileImportTexts;  // compilation-unit imports as written
  std::size_t m_contextBudget = kMaxInterfaceBytes * 16;  // of their text that units may copy
  std::size_t m_interfaceBytes = 0;
  bool m_headerParameters = false;
  std::size_t m_untypedPorts = 0;   // the ports the header names that have no type yet
  std::size_t m_parameterBytes = 0;  // of text in m_bodyParameters
  std::unordered_map<std::string, std::size_t> m_portIndex;  // the ports the header names, by name
  std::vector<BodyParameter> m_bodyParameters;
  std::vector<Tok> m_tokens;  // what a list or declaration is read into
};

}  // namespace

void ScanVerilog(std::string_view text, std::string_view path, const ScanOptions& options, ScanResult& result) {
  Parser(text, path, options, result).Run();
}

}  // namespace Hdl::scan::detail
