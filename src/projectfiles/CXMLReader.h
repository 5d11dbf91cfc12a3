#pragma once
// Reads the project source file (.xhlc) into an open project, step by step, in the order the
// project's open calls the steps. Also reads the older fileSet forms. The parsed document stays
// with the reader so that the project's save can hand it to the writer, until the open lets go
// of it (ReleaseDocument): the reader then keeps a snapshot of it for the save instead.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "Hvd/IFile.h"
#include "Hvd/IFileType.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IStringSet.h"
#include "core/Holders.h"
#include "projectfiles/XhlcSnapshot.h"
#include "projectfiles/XhlcText.h"
#include "utils/XmlPlatform.h"

namespace Hvd {

class CXMLReader {
 public:
  using String = Port::StringBase<char>;

  struct PropertyEntry {
    String value;
    bool locked = false;
  };
  using PropertyMap = std::map<String, PropertyEntry>;

  // Branch targets of the compile-order sequence ids; 7 stands for "no numbered branch".
  static constexpr std::uint32_t kOtherTarget = 7;

  // `project` is borrowed: the project owns its reader.
  explicit CXMLReader(IProject* project);
  CXMLReader();
  CXMLReader(const CXMLReader&) = delete;
  CXMLReader& operator=(const CXMLReader&) = delete;
  virtual ~CXMLReader();

  // Reads the file list, in the form the schema version names, then the bindings; the current
  // form from what TakeEntries takes out of the document.
  virtual void ReadFiles();
  [[nodiscard]] virtual Status GetSchemaVersion(String* version);
  virtual String GetProductVersion();
  // Sets the file's view-class bit of `branch`; the element is not read.
  virtual void ReadBranch(const String& branch, CitI::IInterface* file, xercesc::DOMElement* element);
  // One file of the fileSet form; `file` (borrowed) is the added file or null.
  virtual bool HandleFile(const String& fileSet, xercesc::DOMElement* element, IFile** file);
  // Adds through the project; a null type lets the project choose it by the path.
  [[nodiscard]] virtual Status AddFile(const String& path, IFileType* type, Prjrep::AutoRelease<IHdlFile>& file);

  void CreateParser();
  // False when the file is missing or does not parse; the earlier document then stays.
  bool ParseFile(const String& path);
  // True when the last ParseFile found the file but it did not parse: the error was reported.
  bool ParseRefused() const noexcept { return m_parseRefused; }
  // The entries of a files section read as the document was parsed, in place of its nodes.
  class DivertedFiles;
  // The next parse leaves the entries of the files section out of the document and reads them
  // as it goes, for an open that takes them (TakeEntries) and lets the document go
  // (ReleaseDocument): a large project's document is then never built whole. Wherever the
  // entries read cannot stand for the section's nodes, and for any other use of the document
  // (GetDocument, TakeDocument, TakeBytes, the older forms), the document is parsed again whole
  // from its bytes first.
  void DivertFileEntries() noexcept { m_divert = true; }
  // As ParseFile, with `document` already parsed from `path` by another reader; false, and
  // nothing taken, for a null one.
  // `bytes`, when known, are those it was parsed from.
  // `index`, when given, is the index another reader made of the unchanged document.
  // `diverted`, when given, are the file entries left out of it.
  bool AdoptDocument(const String& path, Xml::DocumentPtr document, std::string bytes = {},
                     std::unique_ptr<ElementIndex> index = nullptr, std::unique_ptr<DivertedFiles> diverted = nullptr);
  // The file entries left out of the document, to be handed over with it and its bytes; taken
  // first, so that neither is parsed again whole.
  std::unique_ptr<DivertedFiles> TakeDivertedFiles() noexcept { return std::move(m_diverted); }
  // The parsed document handed over, and the bytes it was parsed from; the reader then holds
  // neither.
  Xml::DocumentPtr TakeDocument() noexcept;
  std::string TakeBytes() noexcept {
    ParseWhole();
    return std::move(m_bytes);
  }
  // The index of the document, to be handed over with it; null when none was made or the
  // document was handed out for a change since.
  std::unique_ptr<ElementIndex> TakeIndex() noexcept { return std::move(m_index); }
  // Once the steps that read the document are done with it (every step but the views' update,
  // the implementation top and the partitions): keeps a snapshot of what a save needs and lets
  // go of the document. False, the document kept, when the bytes it was parsed from are not
  // known or it cannot be copied.
  bool ReleaseDocument();
  // Takes what the files, bindings and libraries sections say out of the document, so that the
  // document can go before any file is made; ReadFiles and ReadLibraries then read from it.
  // False, nothing taken, unless the document is held and in the current schema.
  bool TakeEntries();
  // The files and the libraries; with `release`, the document goes once what they need of it
  // is taken, else it stays.
  void ReadFilesAndLibraries(bool release);
  // The snapshot kept in place of the document; null while the document is held.
  XhlcSnapshot* GetSnapshot() const noexcept { return m_snapshot.get(); }
  // A document was read: it is held, or its snapshot.
  bool HasDocument() const noexcept { return m_document != nullptr || m_snapshot != nullptr; }
  void ReadVersion();
  void ReadPartitions();
  void ReadLibraries();
  void UpdateFileViews();
  void ReadImplementationTop();
  bool GetBranchFiles(std::uint32_t branchIndex, Prjrep::IStringSet** files);

  // The stored properties.
  void ReadProperties();
  bool GetPropertyValue(const String& name, String* value);
  bool GetPropertyNames(Prjrep::IStringSet** names);
  void ApplyProperties();
  static bool GetPropertyLabel(const String& name, String* key);

  static std::uint32_t BranchToSequenceTarget(const String& branch);
  Prjrep::AutoRelease<IFileType> GetProjectFileType(const String& path);
  // The schema versions a project accepts: "", "0", "1" and "2".
  static bool IsAcceptedSchemaVersion(const String& version);

  // The parsed document, owned by the reader; null before a successful parse. Whoever asks for
  // it may change it, so the reader's index of it goes.
  xercesc::DOMDocument* GetDocument() const noexcept {
    ParseWhole();
    m_index.reset();
    return m_document.get();
  }

 protected:
  // The path read from a file made absolute against the project file's directory.
  String ResolveProjectPath(const String& name) const;
  // The project being loaded, borrowed; null for a reader without one.
  IProject* Project() const noexcept { return m_project; }

 private:
  // The files, bindings and libraries sections as TakeEntries takes them.
  struct TakenEntries;
  void AddTakenFiles();
  // Tells that the entry listed as `again` names the file an entry before it, `first`, added,
  // and is left out with its library.
  void WarnOfEntryLeftOut(IHdlFile* file, std::string_view first, std::string_view again, const String& library);
  // The bindings of the files added, as taken.
  void ReadBindings();
  // The type of a reference to another project (null for any other file); `path` becomes the
  // .xhlc form of the reference. `step` names the caller in the developer message.
  Prjrep::AutoRelease<IFileType> ProjectReferenceType(String& path, const char* step);
  void ReadFileSets();
  // The namespace of the file list: the component form keeps it in its own.
  const XMLCh* FileListNamespace() const;
  void ApplyEntry(CitI::IInterface* instance, const PropertyEntry& entry);
  // ElementsNamed over the whole document, from the index made at the first such look-up.
  std::vector<xercesc::DOMElement*> InDocument(const XMLCh* uri, const XMLCh* localName) const;
  std::size_t PartitionCount() const;
  // Whether the entries left out of the document at its parse stand for its files section as
  // the steps that read it would find it; when they cannot, the document is parsed again whole.
  bool KeepDivertedFiles();
  // The document parsed again from its bytes, whole, when entries were left out of it.
  void ParseWhole() const noexcept;

  Xml::SafeDomParser m_parser;
  // The document, its document element and the entries left out of it are mutable only so that
  // a reader asked for the document can make it whole.
  mutable Xml::DocumentPtr m_document;
  mutable std::unique_ptr<DivertedFiles> m_diverted;
  bool m_divert = false;
  bool m_parseRefused = false;
  // The bytes the document was parsed from, while it is held.
  std::string m_bytes;
  std::unique_ptr<XhlcSnapshot> m_snapshot;
  // The partitions the document listed, counted when it was let go.
  std::size_t m_releasedPartitions = 0;
  mutable xercesc::DOMElement* m_root = nullptr;
  std::unique_ptr<TakenEntries> m_taken;
  mutable std::unique_ptr<ElementIndex> m_index;  // of m_document as it was read
  String m_fileName;
  String m_directory;
  String m_schemaVersion;
  String m_productVersion;
  PropertyMap m_properties;
  IProject* m_project = nullptr;
};

// The entries of a files section as the parse meets them, kept as TakeEntries takes them and
// as the writer encodes them (CProjectSourceXMLWriter::EncodeFileEntries). They stand for the
// section only while every entry stands exactly as a save writes it (Usable): any other
// content, which the steps reading the section might read otherwise, sends the reader to the
// whole document.
class CXMLReader::DivertedFiles final : public Xml::ContentDiverter {
 public:
  // The first child of the document element named "files", unprefixed, in the project's
  // namespace.
  bool Diverts(std::size_t depth, const XMLCh* uri, const XMLCh* prefix, const XMLCh* localName) override;
  void StartElement(const XMLCh* uri, const XMLCh* prefix, const XMLCh* localName, const Attribute* attributes,
                    std::size_t count) override;
  void EndElement() override;
  void Characters(const XMLCh* text, std::size_t length) override;
  void Other() override { m_usable = false; }

  bool Diverted() const noexcept { return m_diverted; }
  bool Usable() const noexcept { return m_usable; }

 private:
  friend class CXMLReader;
  void StartFile(const Attribute* attributes, std::size_t count);
  void StartInner(const XMLCh* localName, const Attribute* attributes, std::size_t count);
  void EndFile();

  bool m_diverted = false;
  bool m_usable = true;
  bool m_checked = false;  // by the reader, against the document
  bool m_filesTaken = false;  // by TakeEntries
  std::size_t m_depth = 0;  // 1 within a file entry, 2 within one of its associations or libraries
  std::size_t m_files = 0;
  std::string m_taken;  // as TakenEntries::files, references after every ordinary file
  std::string m_references;
  std::string m_entries;  // as the writer encodes them
  // The entry being read: its name, then its associations and libraries as taken.
  std::string m_name;
  std::string m_associations;
  std::string m_libraries;
};

// The program that generated the project file at `path`, by the same rule.
Port::StringBase<char> ProjectGeneratorOfFile(const Port::StringBase<char>& path);

// The program that generated the project's file: "TarvisDSP" for a file that is not an .xhlc,
// else the file's "Project Generator" property, "Corvane" when it has none.
Port::StringBase<char> DetectProjectGenerator(CitI::IInterface* project);

}  // namespace Hvd
