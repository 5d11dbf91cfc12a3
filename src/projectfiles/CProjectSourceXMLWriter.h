#pragma once
// Writes the project source file (.xhlc) of an open project: a whole new document, or the
// document read from the existing file with its sections rebuilt in place, written only when a
// section changed. Every write replaces the file atomically.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "Hvd/IFile.h"
#include "Hvd/IFileType.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectCopy.h"
#include "Hvd/IView.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/Holders.h"
#include "projectfiles/ProjectPaths.h"
#include "projectfiles/XMLNamespaceHelper.h"
#include "projectfiles/XmlNames.h"
#include "utils/XmlPlatform.h"

namespace Hvd {

class XhlcSnapshot;

// The working directory `value` as the project file `fileName` writes it: "." for the file's own
// folder or none, else, unless the user asked for absolute ones, its path from the file's folder
// when the two share more than the root.
Port::StringBase<char> WrittenWorkingDirectory(const Port::StringBase<char>& value,
                                               const Port::StringBase<char>& fileName);
// The working directory a copy whose project file is `fileName` keeps: an absolute one in the
// form that file writes it, a relative one, which the copy takes from its own folder, as it is.
Port::StringBase<char> CopysWorkingDirectory(const Port::StringBase<char>& workingDirectory,
                                             const Port::StringBase<char>& fileName);

class CProjectSourceXMLWriter {
 public:
  using String = Port::StringBase<char>;

  CProjectSourceXMLWriter(const String& fileName, IProject* project);
  CProjectSourceXMLWriter(const CProjectSourceXMLWriter&) = delete;
  CProjectSourceXMLWriter& operator=(const CProjectSourceXMLWriter&) = delete;
  virtual ~CProjectSourceXMLWriter();

  // The names a project copy gives its files.
  [[nodiscard]] Status SetFileMap(CitI::IInterface* fileMap);
  // The whole file from the project; the file is replaced only once it is complete.
  [[nodiscard]] Status Write();
  // Rebuilds the sections inside `old`, the document the project's reader parsed, and writes
  // only when one differs from what the target file holds now.
  [[nodiscard]] Status WriteIfChanged(xercesc::DOMDocument* old);
  // The same, with the snapshot kept of the document instead of the document: it is parsed
  // again from the snapshot only when the file is written, and the snapshot then stands for
  // what was written.
  [[nodiscard]] Status WriteIfChanged(XhlcSnapshot& kept);
  // Makes the writes above compare only: they answer kSuccess when nothing differs and
  // kProjectReadOnly when they would write, and write nothing.
  void CompareOnly() { m_compareOnly = true; }

  // The files section a save compares with: the first child of `root` of that local name.
  static xercesc::DOMElement* FilesSectionOf(xercesc::DOMElement* root);
  // The entries of a files section as a compact text that SameFiles compares with what would
  // be written, as it would compare the section itself; false when some entry has a form that
  // no save writes, so that the section never compares equal. Normalizes the section.
  // `canonical` tells whether every entry stands exactly as a save would write it again.
  static bool EncodeFileEntries(xercesc::DOMElement* files, std::string& entries, bool& canonical);
  // The marks of that text: each value follows its mark and is ended by a NUL.
  struct EntryMark {
    static constexpr char kFile = 'F';
    static constexpr char kType = 'T';
    static constexpr char kAssociation = 'A';
    static constexpr char kSequence = 'S';
    static constexpr char kInclude = 'I';
    static constexpr char kLibrary = 'L';
  };

  // The process-wide environment flags are read once; tests read them again after this.
  static void ForgetEnvironmentFlags();

 protected:
  virtual void BuildSkeleton();
  virtual void CreateSections();
  virtual void AttachSections();

  // The header and every section but the version, in the order of a save.
  [[nodiscard]] Status PushSections();
  void PushHeader();
  [[nodiscard]] Status PushFiles();
  [[nodiscard]] Status PushAutoManagedFiles();
  void PushProperties();
  void PushLibraries();
  void RemoveRootTextNodes();
  [[nodiscard]] Status Serialize();
  bool HasChanged();

  // What a file entry of the files section says: built into elements only when the section
  // differs from the file's.
  struct FileRecord {
    struct Association {
      String name;
      String sequence;         // empty: not written
      String includeSequence;  // empty: not written
    };
    String name;
    String type;
    std::vector<Association> associations;
    String library;  // empty: none written
  };

  FileRecord DescribeFile(IFile* file);
  void PushFile(const FileRecord& record);
  xercesc::DOMElement* BuildFile(xercesc::DOMDocument* document, const FileRecord& record) const;
  void DescribeAssociations(IFile* file, std::vector<FileRecord::Association>& associations);
  String FileLibraryName(IFile* file);
  // Whether the files section `old` holds exactly the entries `records` would build, as the
  // section comparison would find it.
  static bool SameFiles(xercesc::DOMElement* old, const std::vector<FileRecord>& records);
  static bool SameFiles(const XhlcSnapshot& kept, const std::vector<FileRecord>& records);
  // The compact text of the entries `records` are written as.
  static std::string EncodeRecords(const std::vector<FileRecord>& records);
  // The entries BuildFile would make of `records`, laid out as the file's text has them.
  static std::string EntriesText(const std::vector<FileRecord>& records);
  void PushBindings(IFile* file, const String& name);
  void PushProperty(IPropertyInstance* instance);
  void GetFileValue(CitI::IInterface* object, String* out);
  String GetFileTypeName(IFile* file);
  // The type an entry is written with: a user's header off the disk keeps the one it was read with.
  String WrittenTypeName(IFile* file);
  static void CollectPlatformProperties(IProject* project, std::set<CitI::IInterface*>& identities);

 private:
  bool m_compareOnly = false;
  enum Section { kHeader, kVersion, kFiles, kAutoManaged, kProperties, kBindings, kLibraries, kSectionCount };
  struct Entry {
    IFile* file;
    std::uint64_t sequence;
    bool projectFile;  // a child project's file
  };

  // The user's files (origin state 0) or the managed include files (3) that the project
  // itself lists, sorted by their first sequence id; null when the project or its file
  // manager cannot be reached.
  [[nodiscard]] Status CollectFiles(std::uint32_t originState, const char* step, std::vector<Entry>& entries);
  xercesc::DOMElement* NewElement(const XMLCh* localName) const;
  void SetAttribute(xercesc::DOMElement* element, const XMLCh* localName, const String& value) const;
  void AppendComments(xercesc::DOMElement* section, const char* const* lines, std::size_t count,
                      std::size_t width) const;
  xercesc::DOMElement* NewVersion() const;
  // A file entry with its written name (also given back) and its type.
  xercesc::DOMElement* NewFileElement(IFile* file, String* name);
  // The association branch of a view: its BRANCH when its SUBBRANCH is "Abstract" and the
  // branch is one the file lists; null otherwise.
  const XmlNames::Branch* ViewBranch(IView* view);
  // The branch of the table that a view of these words stands for; null for none.
  static const XmlNames::Branch* BranchOf(const String& branch, const String& subBranch);
  // The document that the target file holds now, when it is not the one adopted.
  xercesc::DOMDocument* TargetDocument(xercesc::DOMDocument* adopted);
  // The section of the adopted document that a save compares `section` with; null when the
  // comparison would not reach it (another file is the target, or the document lacks its
  // header or version).
  xercesc::DOMElement* ComparedSection(int section);

  String m_fileName;
  bool m_ownsDocument = true;
  // Where the sections are built; also the document written unless one was adopted.
  Xml::DocumentPtr m_ownDocument;
  xercesc::DOMDocument* m_document = nullptr;
  xercesc::DOMElement* m_root = nullptr;
  Prjrep::AutoPtr<IProject> m_project;
  SplitPath m_projectDirectory;
  std::array<xercesc::DOMElement*, kSectionCount> m_sections{};
  // Which sections differ from the adopted document's; all until compared.
  std::array<bool, kSectionCount> m_differs{true, true, true, true, true, true, true};
  // Set while a write is being prepared: whether ids are kept by hand.
  bool m_manualOrder = false;
  // While saving into an adopted document: whether its files section was found equal to the
  // project's files before any element was built (unset: not compared so).
  std::optional<bool> m_filesEqual;
  std::map<IView*, const XmlNames::Branch*> m_viewBranches;
  // The written form of each directory met, with its trailing "/" ("" for the project's own).
  std::map<String, String> m_directoryForms;
  const std::pair<const String, String>* m_lastForm = nullptr;  // the last directory's
  // Type names by type; the types stay alive with the project's data store.
  std::map<IFileType*, String> m_typeNames;
  // What the target file held when the adopted document was read from another file.
  Xml::DocumentPtr m_targetDocument;
  // The snapshot saved through, when the document was not kept; its document, parsed again
  // for a write, and the text written.
  XhlcSnapshot* m_kept = nullptr;
  std::string m_writtenText;
  std::vector<FileRecord> m_keptRecords;
  // A files section whose entries are written from text laid out already: the kept ones.
  const xercesc::DOMElement* m_filesAt = nullptr;
  std::string m_filesText;
  // The names of a project copy's files; empty for a plain save.
  Prjrep::AutoPtr<ICPFileMapInternal> m_fileMap;
};

}  // namespace Hvd
