#pragma once
// The design-file scanner: reads VHDL, Verilog and SystemVerilog text far enough to name its design
// units, what each unit needs (packages, entities, modules it instantiates) and the generics,
// parameters and ports it declares. It never elaborates: names are recorded as written and bound
// later by the project.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Hdl::scan {

// kNone: no design text (a constraints file, a netlist): such a file is kept but never read.
enum class Language : std::uint8_t { kAuto, kVhdl, kVerilog, kSystemVerilog, kUnknown, kNone };

// By extension: .vhd/.vhdl/.vho VHDL, .v/.vh/.vlg/.vo Verilog, .sv/.svh/.svp SystemVerilog.
Language LanguageOfPath(std::string_view path);

enum class VhdlStandard : std::uint8_t { k87, k93, k2002, k2008, k2019 };

// Accepts "87", "93", "2002", "2008", "2019" and their four-digit forms ("1993").
bool ParseVhdlStandard(std::string_view text, VhdlStandard* standard);
const char* VhdlStandardName(VhdlStandard standard);

enum class UnitKind : std::uint8_t {
  kVhdlEntity,
  kVhdlArchitecture,
  kVhdlPackage,
  kVhdlPackageBody,
  kVhdlConfiguration,
  kVhdlContext,
  kVerilogModule,  // also a macromodule
  kVerilogInterface,
  kVerilogPackage,
  kVerilogProgram,
  kVerilogPrimitive,
};

// The design-unit type name the project data uses for the kind ("DESUT_VHDL_ENTITY").
const char* UnitTypeName(UnitKind kind);
bool IsVhdl(UnitKind kind);
// Entities, modules and the like can head a design; architectures, bodies and packages cannot.
bool CanBeTop(UnitKind kind);

enum class RefKind : std::uint8_t {
  kUse,                    // VHDL use clause or selected name: a unit of a library
  kContext,                // VHDL context reference
  kInstance,               // component or module instance, bound by name
  kEntityInstance,         // VHDL "entity lib.name(arch)"
  kConfigurationInstance,  // VHDL "configuration lib.name"
  kEntityBinding,          // VHDL "use entity lib.name(arch)": a configuration binds an instance
  kConfigurationBinding,   // VHDL "use configuration lib.name"
  kArchitecture,           // the architecture a VHDL configuration configures
  kImport,                 // SystemVerilog "import pkg::..."
  kScope,                  // SystemVerilog "pkg::name": a package, or a class the project never sees
  kLibrary,                // VHDL library clause: the library alone, no unit named; "work" is never one
  // SystemVerilog "bind target module u (...)": the module, instantiated in the target, which the
  // hierarchy does not follow; it counts as instantiated. Outside a module, the file's last unit holds it.
  kBind,
  // VHDL "a.b" or "a.b.c" in an architecture or package body whose entity or package another file
  // holds, where the unit's own file names no library a: a unit b of library a when the context
  // clause of that entity or package names a, else most likely a record's field, needing nothing.
  kSelected,
};

inline constexpr std::uint32_t kNoScope = 0xFFFFFFFFu;

// A named generate, block or begin-end block that holds instances, kept once however many
// instances it holds, with a link to the named one around it.
struct Scope {
  std::string label;
  std::uint32_t parent = kNoScope;  // in the unit's scopes
};

struct Reference {
  RefKind kind = RefKind::kUse;
  std::string library;    // as written; empty when the reference names none
  std::string name;       // the unit named
  std::string secondary;  // the architecture of an entity instance or binding
  std::string label;      // an instance's own label: "u1"
  std::uint32_t line = 0;
  std::uint32_t scope = kNoScope;  // the innermost named block around an instance, in its unit's scopes
};

// One generic, parameter or port. Texts are as written, with comments left out and each run of
// blanks made one blank.
struct Declaration {
  std::string name;   // as written (a Verilog escaped name without its backslash)
  // A port's direction ("in", "buffer", "input", "ref"); empty for a Verilog port whose direction
  // is neither written nor implied, such as an interface port. A Verilog parameter's keyword
  // ("parameter", "localparam"); a VHDL generic's class when it is no constant ("type", "package",
  // "function", "impure function"), its type then holding the rest of the declaration.
  std::string mode;
  std::string type;   // "std_logic_vector(W - 1 downto 0)", "wire signed [W-1:0]", "logic [3:0][7:0]"
  std::string dims;   // Verilog: the unpacked dimensions after the name, "[0:3]"
  std::string value;  // the default, without ":=" or "="
};

// What an entity, module, program or interface shows the units that use it.
struct Interface {
  // The clauses its declarations may need: the VHDL library, use and context clauses before the
  // entity; the SystemVerilog package imports before the unit and in its header.
  std::vector<std::string> context;
  // VHDL generics; Verilog parameters, with the local parameters that the ports need.
  std::vector<Declaration> generics;
  // Verilog ports declared apart from the header keep the header's order and take direction and
  // type from their declarations, or from a net or variable declaration when those give none.
  std::vector<Declaration> ports;
  bool ansi = true;       // Verilog: the ports are declared in the header
  bool complete = true;   // false when a list was cut at the scanner's bounds
};

struct Unit {
  UnitKind kind = UnitKind::kVhdlEntity;
  std::string name;     // as written (a Verilog escaped name without its backslash)
  std::string primary;  // the entity of an architecture or configuration, the package of a body
  std::uint32_t line = 0;
  bool hasPorts = false;  // a unit without ports is taken for a testbench
  bool complete = true;   // false when the text ends inside the unit
  std::vector<Reference> references;
  std::vector<Scope> scopes;
  Interface interface;  // entities, modules, programs, interfaces and primitives
};

// An instance's label under its generate and block labels, "gen/u1", spelt out when asked.
std::string ScopedLabel(const Unit& unit, const Reference& reference);

enum class Severity : std::uint8_t { kWarning, kError };

enum class MessageKind : std::uint8_t {
  kMissingFile,
  kUnreadable,
  kBinary,
  kUnknownLanguage,
  kTruncated,  // the text ends inside a unit, comment or conditional
  kSyntax,     // a unit begins before the previous one ends, a stray directive
  kIncludeNotFound,
  kIncludeCycle,
  kIncludeDepth,
  kExpansionLimit,  // macro expansion or inclusion grew past its bound
  kCycle,           // units need each other
  kFileCycle,       // files need each other though their units do not
  kMissingUnit,
  kDuplicateUnit,
  kUnknownTop,
  kHierarchyLimit,
  kNoUnit,  // the file holds text but no design unit
  kMacroOrder,  // a file uses a macro that only a file after it defines
};

struct Message {
  MessageKind kind = MessageKind::kSyntax;
  Severity severity = Severity::kWarning;
  std::string path;
  std::uint32_t line = 0;  // 0 when the message is about the whole file
  std::string text;
  std::uintptr_t file = 0;  // the project's handle of the file, when a project reports it
};

enum class ReadStatus : std::uint8_t { kOk, kMissing, kUnreadable };

// A Verilog text macro as `define gives it.
struct MacroDefinition {
  bool functionLike = false;
  std::vector<std::string> params;
  std::vector<std::string> defaults;  // "" where none is given
  std::string body;

  bool operator==(const MacroDefinition&) const = default;
};

// A macro by name, with its definition; none: not defined.
struct MacroState {
  std::string name;
  std::optional<MacroDefinition> definition;

  bool operator==(const MacroState&) const = default;
};

// Reads a whole file; the scanner reads design files and includes only through one.
using Reader = std::function<ReadStatus(const std::string& path, std::string* text)>;
ReadStatus ReadDiskFile(const std::string& path, std::string* text);
// The text of `path` as `reader` gives it, or as the disk does when there is no reader.
ReadStatus ReadSource(const Reader& reader, const std::string& path, std::string* text);

struct ScanOptions {
  std::vector<std::string> macros;  // Verilog: "NAME" or "NAME=VALUE"
  // Verilog: the macros defined where the file starts, `macros` among them, when files before it
  // carry theirs into it; none for a name not defined there. Asked once a name.
  std::function<std::optional<MacroDefinition>(const std::string& name)> macrosAtStart;
  std::vector<std::string> includeDirs;  // searched after the including file's directory
  // None: no standard set. VHDL then reads as 93, except for what only 2008 can mean: a design
  // unit "context NAME is", a context reference "context lib.name;" and "/* */" comments, none of
  // which valid 93 text holds outside comments and strings.
  std::optional<VhdlStandard> vhdlStandard;
  Reader reader;  // empty: the disk
  int maxIncludeDepth = 32;
  std::size_t maxExpansionBytes = std::size_t{64} << 20;  // macro text and included text together
};

struct ScanResult {
  std::vector<Unit> units;
  std::vector<Message> messages;
  std::vector<std::string> includes;  // every file the text included, once each
  // Every path an include was looked for at and could not be read from, once each: the text reads
  // otherwise once a file appears there.
  std::vector<std::string> includesMissing;
  // Verilog: each macro the file looked at before setting it itself, once, as it found it where
  // it starts; then what it leaves to the files after it: with `undefinesAll` no macro from before
  // it, and the macros it set last, in the order it first set them.
  std::vector<MacroState> macrosFound;
  std::vector<std::uint32_t> macrosFoundAt;  // the line of the file each was first looked at on
  bool undefinesAll = false;
  std::vector<MacroState> macrosLeft;
  // For each of `macrosLeft`, the included file whose text set it last; "": the file's own text.
  std::vector<std::string> macrosLeftIn;
  // Verilog: each macro the file used where it was not defined, as it found it where it starts,
  // once: a compile reads the use as the files before it define the macro.
  std::vector<std::string> macrosUsedUndefined;
  std::vector<std::uint32_t> macrosUsedUndefinedAt;  // the line of the file each was first used on
};

// Scans `text` as the file `path` (which names the file in messages and anchors relative includes).
ScanResult ScanText(std::string_view text, Language language, std::string_view path, const ScanOptions& options);
// Reads the file through the options' reader first; a missing or unreadable file gives a message.
ScanResult ScanFile(const std::string& path, Language language, const ScanOptions& options);

}  // namespace Hdl::scan
