#pragma once
// Reads, queries and edits one project source file without opening its project, writes a new
// empty one, and finds the project's configuration directory.

#include <cstdint>
#include <string>

#include "Hvd/ClassIds.h"
#include "Hvd/IProjectInfo.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "projectfiles/projectinfo/CXMLReadWriter.h"

namespace Hvd {

class CProjectInfo : public TComponent<CProjectInfo> {
 public:
  using String = Port::StringBase<char>;
  static const Port::XUID& GetCLSID() { return ClassId::ProjectInfo(); }

  CProjectInfo() = default;
  CProjectInfo(const CProjectInfo&) = delete;
  CProjectInfo& operator=(const CProjectInfo&) = delete;
  ~CProjectInfo() override = default;

  auto QueryTable() {
    return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<IProjectInfo>(&m_XIProjectInfo),
                 Row<CitI::IInterface>(&m_refCount));
  }

  // The text of a new, empty project source file.
  static std::string NewProjectFileText();

  // The document the component's last ReadProjectData parsed, handed over so that a reader
  // of the same unchanged file need not parse it again; null when there is none. The
  // component then answers as one that read nothing. `bytes`, when given, receives the bytes
  // the document was parsed from.
  // `diverted`, when given, receives the file entries the parse left out of the document.
  static Xml::DocumentPtr TakeReadDocument(IProjectInfo* info, std::string* bytes = nullptr,
                                           std::unique_ptr<ElementIndex>* index = nullptr,
                                           std::unique_ptr<CXMLReader::DivertedFiles>* diverted = nullptr);
  // The component's next ReadProjectData leaves the file entries out of the document it
  // parses, for an open that takes the document over with them (CXMLReader::DivertFileEntries).
  static void DivertFileEntries(IProjectInfo* info);
  // True when the component's last ReadProjectData found a file that did not parse, and said so.
  static bool ParseRefused(IProjectInfo* info);

 private:
  struct XIProjectInfo : TNested<CProjectInfo, IProjectInfo> {
    using TNested::TNested;
    CProjectInfo& Owner() const noexcept { return This(); }
    Status ReadProjectData(const String& path) override;
    Status GetAssociations(Prjrep::IStringSet** associations) override;
    Status GetFilesOfBranch(std::uint32_t branch, Prjrep::IStringSet** files) override;
    Status GetLibraryNames(Prjrep::IStringSet** names) override;
    Status GetAllProperties(IPropertyInstanceSet** properties) override;
    Status GetProperty(const String& name, IPropertyInstance** property) override;
    Status WriteProjectData(const String& path) override;
    Status SetProperty(const String& name, const String& value) override;
    Status AddFile(const String& name, const String& type, const String& associations, const String& library) override;
    Status AddFileWithSequence(const String& name, const String& type, const String& associations,
                               const String& library, const String& seqIdInc) override;
    Status AddLibrary(const String& name) override;
    Status WriteNewProjectFile(const String& path) override;
    Status GetHlcVersion(String* version) override;
    Status GetConfigDir(const String& projectDirectory, String* directory) override;
    Status GetFileLibrary(const String& file, String* library) override;
    Status GetFilterFile(const String& projectDirectory, String* path) override;
    Status GetFileList(const String& type, Prjrep::IStringIterator** files) override;
    bool HasFiles(const String& type) override;
  } m_XIProjectInfo{this};

  // Runs an edit of the read document; 0, with a message, when there is none to edit or the
  // edit fails.
  template <class Edit>
  Status EditDocument(const char* operation, Edit edit);

  Prjrep::TRefCountHelper<CProjectInfo> m_refCount{this};
  CXMLReadWriter m_reader;
  bool m_read = false;  // the reader holds the document of the last ReadProjectData
};

}  // namespace Hvd
