#pragma once
// Writes the generated-project file (.ghlc) of an open project: its generated and imported files
// with their flow branches, and the transform instances that have run with their times,
// checksums, status values and output files. The file is replaced atomically.

#include <map>
#include <string>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "Hvd/IFile.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectCopy.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/Holders.h"
#include "projectfiles/ProjectPaths.h"
#include "utils/XmlPlatform.h"

namespace Hvd {

class GeneratedProjectWriter {
 public:
  using String = Port::StringBase<char>;

  // The file belongs to `folder` (the output's own folder when empty): a link at its name is
  // written through only to a regular file inside it, and otherwise replaced.
  GeneratedProjectWriter(const String& outputPath, IProject* project, const String& folder = String());
  GeneratedProjectWriter(const GeneratedProjectWriter&) = delete;
  GeneratedProjectWriter& operator=(const GeneratedProjectWriter&) = delete;
  ~GeneratedProjectWriter();

  // The names a project copy gives its files; a plain save passes null.
  [[nodiscard]] Status SetFileMap(CitI::IInterface* fileMap);
  // The whole file; the old one stays as it was unless the new one is complete. `written`,
  // when given, receives the bytes written.
  [[nodiscard]] Status Write(std::string* written = nullptr);
  // The bytes Write would write, nothing written. A writer renders or writes once.
  [[nodiscard]] Status Render(std::string& bytes);

  // The written name of a file: relative to the file's own directory where it can be.
  String MakeFileName(CitI::IInterface* file) const;
  // Whether names go through a project copy's file map (checksums are then left out).
  bool HasFileMap() const noexcept { return static_cast<bool>(m_fileMap); }

 private:
  void WriteHeader();
  void WriteFiles();
  void WriteFile(IFile* file, const String& name);
  void WriteTransforms();
  // Says why the file is not written; answers kFailure.
  Status NotWritten(const std::string& why) const;

  xercesc::DOMElement* m_transforms = nullptr;
  xercesc::DOMElement* m_files = nullptr;
  String m_outputPath;
  String m_folder;
  Xml::DocumentPtr m_document;
  xercesc::DOMElement* m_root = nullptr;
  Prjrep::AutoPtr<IProject> m_project;
  SplitPath m_outputDirectory;
  // The written form of each directory met, with its trailing "/" ("" for none): a project
  // keeps many files in few directories.
  mutable std::map<Port::StringBase<char>, Port::StringBase<char>> m_directoryForms;
  // The names of a project copy's files; empty for a plain save.
  Prjrep::AutoPtr<ICPFileMapInternal> m_fileMap;
};

// Sets a file's flow marks from the BRANCH and SUBBRANCH of the views it belongs to; marks set
// before stay.
void UpdateFileBranches(CitI::IInterface* file);

// The 64-bit number written for a time or checksum.
Port::StringBase<char> GhlcNumber(std::int64_t value);

}  // namespace Hvd
