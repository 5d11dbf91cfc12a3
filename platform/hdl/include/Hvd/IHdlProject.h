#pragma once
// The HDL parser component: a parser project that holds HDL files, reads their design units and
// elaborates them. A view keeps one project, mirrors its own files into it and asks it for compile
// orders and the design graph. The project also answers IHdlFileSet (its files),
// IHdlElaborationData and IHdlElaborationData2.

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

class IHdlFile;

// The component, created by class id; its root answers IHdlProject.
CITI_DEFINE_ID(HdlProjectClassId, "{10977847-7D8D-46e9-AC19-7B0EED3C4657}")

// The settings that the parser reads with; it answers IPropertyInstanceSet, which holds them.
class IHdlParserConfig : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{9ED40204-23B5-4788-8024-B4602CC2B1B2}")
};

class IHdlProject : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{4DE85D33-3A67-433C-98E8-7E6EBB9070B6}")

  // A new, empty parser file with one reference, not yet in the project's file set.
  virtual Hvd::Status CreateFile(IHdlFile** file) = 0;
  // The project's parser configuration, with one reference.
  virtual Hvd::Status GetParserConfig(IHdlParserConfig** config) = 0;
  // Where the parser works and keeps its messages.
  virtual Hvd::Status SetWorkingDirectory(const Port::StringBase<char>& directory) = 0;
  // The directory of the project file, against which relative names are read.
  virtual Hvd::Status SetProjectDirectory(const Port::StringBase<char>& directory) = 0;
};

// A parser file's link to the project's file that it mirrors; optional.
class IFileCompReference : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{a89efb38-ccca-4eab-94e8-ae98e2d2d2e1}")

  // Links the parser's file to `file`, the project's file that it mirrors.
  virtual Hvd::Status SetFileComponent(CitI::IInterface* file) = 0;
  // The linked project file, with one reference; a status other than 1 when there is none.
  virtual Hvd::Status GetFileComponent(CitI::IInterface** file) = 0;
};

}  // namespace Hvd
