#pragma once
// A source file as the HDL side sees it: its path, its design units, its related files and its
// element. The project's files and the HDL parser's files answer the same interfaces, so that a
// view can mirror one into the other. Operations that only the parser's files carry out stay in
// their places; this library's files answer them as not supported.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/ISet.h"

namespace Hvd {

class IHdlDesignUnit;
class IHdlDesignUnitIterator;
class IHdlFileIterator;
class IHdlParserConfig;

class IHdlFile : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{7D72019D-90EF-4E4E-BCD9-A41DD3783D3F}")

  // Refreshes the file's state (stamp and time) from disk.
  virtual Hvd::Status CheckFileOnDisk() = 0;
  // Marks the file changed; it stays modified until the parser has taken the change into account.
  virtual Hvd::Status SetModified(bool modified) = 0;
  // A parser-side object, with one reference; this library's files clear it and answer not supported.
  virtual Hvd::Status ReservedOperation4(CitI::IInterface** object) = 0;
  // Names the file by its directory and its file name.
  virtual Hvd::Status SetPath(const Port::StringBase<char>& directory, const Port::StringBase<char>& name) = 0;
  // The two strings that SetPath takes; directory then name is the file's key in name-keyed sets.
  virtual Hvd::Status GetPath(Port::StringBase<char>* directory, Port::StringBase<char>* name) = 0;
  // A new iterator over the file's design units as `config` reads them, with one reference.
  virtual Hvd::Status GetDesignUnits(IHdlParserConfig* config, IHdlDesignUnitIterator** units) = 0;
  // A parser-side lookup, with one reference; this library's files clear it and answer not supported.
  virtual Hvd::Status ReservedOperation8(CitI::IInterface* first, CitI::IInterface* second,
                                         CitI::IInterface** object) = 0;
  // A parser-side text; this library's files empty it and answer not supported.
  virtual Hvd::Status ReservedOperation9(CitI::IInterface* first, CitI::IInterface* second,
                                         Port::StringBase<char>* text) = 0;
  // The parser that reads the file (its type's plug-in string); this library's files answer not supported.
  virtual Hvd::Status SetParserName(const Port::StringBase<char>& name) = 0;
  // The parser that reads the file (its type's plug-in string).
  virtual Hvd::Status GetParserName(Port::StringBase<char>* name) = 0;
  // The compile-order sequence id of the file's add target; 0 when it has none.
  virtual Hvd::Status GetFileAddTarget(std::uint64_t* target) = 0;
  // The same sequence id.
  virtual Hvd::Status GetSequenceId(std::uint64_t* id) = 0;
  // Sets it; this library's files set their ids through their compile order and answer not supported.
  virtual Hvd::Status SetSequenceId(std::uint64_t id) = 0;
  // Whether the file is marked changed.
  virtual Hvd::Status IsModified(bool* modified) = 0;
};

// The file's 'global include' flag: a file compiled ahead of every other file.
class IHdlFileV3 : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{0FED7C55-E955-4158-BD7D-4928C9D20B99}")

  // Sets or clears the flag.
  virtual Hvd::Status SetGlobalInclude(bool globalInclude) = 0;
  // The flag; a generated file gives that of the file it was generated from.
  virtual Hvd::Status GetGlobalInclude(bool* globalInclude) = 0;
};

// The files that a file includes (its children) and that include it (its parents), in six
// categories (0 to 5), and the view that the parser's file was made for.
class IHdlFileV4 : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{82A38AD0-ECD4-4C6F-B6C1-6D3656BB4953}")

  // The parser's own; this library's files answer not supported.
  virtual Hvd::Status ReservedOperation2() = 0;
  // The view (its auto-manage id) the parser's file serves; this library's files answer not supported.
  virtual Hvd::Status SetViewId(std::uint32_t viewId) = 0;
  // Adds the child of that name, with one reference in `child` when it is given.
  virtual Hvd::Status AddChildFileByName(std::uint32_t category, const Port::StringBase<char>& name,
                                         IHdlFile** child) = 0;
  // Removes one child, and this file from the child's parents.
  virtual Hvd::Status RemoveChildFile(std::uint32_t category, IHdlFile* child) = 0;
  // Removes every child of the category, and this file from their parents.
  virtual Hvd::Status RemoveAllChildFiles(std::uint32_t category) = 0;
  // Records a file that includes this one.
  virtual Hvd::Status AddParentFile(std::uint32_t category, IHdlFile* parent) = 0;
  // Forgets a file that included this one.
  virtual Hvd::Status RemoveParentFile(std::uint32_t category, IHdlFile* parent) = 0;
  // A new iterator over the category's children in key order, with one reference.
  virtual Hvd::Status GetChildFiles(std::uint32_t category, IHdlFileIterator** children) = 0;
  // A new iterator over the category's parents in key order, with one reference.
  virtual Hvd::Status GetParentFiles(std::uint32_t category, IHdlFileIterator** parents) = 0;
  // True when no file of any category includes this one.
  virtual Hvd::Status HasNoParents(bool* none) = 0;
};

class IHdlFileIterator : public Prjrep::TIIterator<IHdlFile*> {
 public:
  CITI_DECLARE_IID("{A4172EC4-9BCB-4d3b-BCDE-67F5F24E604B}")
};

// Removing at an iterator leaves it on the following file.
class IHdlFileSet : public Prjrep::TISet<IHdlFile*, IHdlFileIterator> {
 public:
  CITI_DECLARE_IID("{0111BFCE-DA17-4b1e-9EB2-684863418205}")
};

// A unit of HDL source (an entity, an architecture, a module...); its type's definition id names
// the kind, such as "DESUT_VHDL_ENTITY".
class IHdlDesignUnit : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{30207634-85CC-41fd-8A17-2080599EA887}")

  // The unit that answers for this one, with one reference; `context` may be ignored.
  virtual Hvd::Status GetDesignUnit(CitI::IInterface* context, IHdlDesignUnit** unit) = 0;
  // A parser-side test; this library's files clear the result and answer not supported.
  virtual Hvd::Status ReservedOperation3(CitI::IInterface* first, CitI::IInterface* second, bool* result) = 0;
  // A parser-side id; this library's files clear it and answer not supported.
  virtual Hvd::Status ReservedOperation4(Port::XUID* id) = 0;
};

class IHdlDesignUnitIterator : public Prjrep::TIIterator<IHdlDesignUnit*> {
 public:
  CITI_DECLARE_IID("{972FD03E-EE3F-4e01-8D0F-B0EAB3C24259}")
};

// A design unit's place in the HDL sources.
class IHdlElement : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{09411137-6791-4986-AA3C-43609908D0C7}")

  // The file that contains the element, with one reference; 1 when there is one.
  virtual Hvd::Status GetHdlFile(IHdlFile** file) = 0;
  // The file that the element comes from, with one reference; for a source file, GetHdlFile's.
  virtual Hvd::Status GetSourceFile(IHdlFile** file) = 0;
  // The parser's own; this library's files answer not supported.
  virtual Hvd::Status ReservedOperation4() = 0;
  // The parser's own; this library's files answer false.
  virtual bool ReservedQuery5() = 0;
};

}  // namespace Hvd
