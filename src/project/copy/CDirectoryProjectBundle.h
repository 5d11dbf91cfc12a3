#pragma once
// A project bundle that is a plain directory: location + "/" + name, filled item by item with
// files taken from a source directory.

#include "Hvd/ClassIds.h"
#include "Hvd/IProjectCopy.h"
#include "Hvd/Status.h"
#include "Port/FileName.h"
#include "Port/StringBase.h"
#include "Prjrep/IName.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "utils/MadeFolders.h"

namespace Hvd {

class CDirectoryProjectBundle : public TComponent<CDirectoryProjectBundle> {
 public:
  using String = Port::StringBase<char>;

  static const Port::XUID& GetCLSID() { return ClassId::DirectoryProjectBundle(); }

  CDirectoryProjectBundle() = default;
  CDirectoryProjectBundle(const CDirectoryProjectBundle&) = delete;
  CDirectoryProjectBundle& operator=(const CDirectoryProjectBundle&) = delete;

  auto QueryTable() {
    return Table(Row<Prjrep::IName>(&m_XIName), Row<IProjectBundle>(&m_XIProjectBundle),
                 Row<CitI::IInterface>(&m_XIProjectBundle), Row<Prjrep::IRefCount>(&m_refCount));
  }

 private:
  struct XIName : TNested<CDirectoryProjectBundle, Prjrep::IName> {
    using TNested::TNested;
    // The name follows the directory; Rename changes both.
    Status SetName(const String&) override { return kFailure; }
    Status GetName(String& name) override {
      name = This().m_name;
      return kSuccess;
    }
    Status SetOwner(CitI::IInterface*) override { return kNotSupported; }
  } m_XIName{this};

  struct XIProjectBundle : TNested<CDirectoryProjectBundle, IProjectBundle> {
    using TNested::TNested;
    Status Initialize(const String& name, const String& location, const String& sourceDirectory) override;
    Status Create(bool copyMode) override;
    Status Delete() override;
    Status Exists(bool* exists) override;
    Status Open(std::uint32_t mode) override;
    Status Close(bool keep) override;
    Status Rename(const String& name) override;
    Status AddItem(const String& sourcePath, const String& newPath) override;
    Status ReservedOperation9() override { return kNotSupported; }
    Status ReservedOperation10() override { return kNotSupported; }
    Status GetItemPath(const String& item, String* path) override;
    Status ExtractTo(const String& targetDirectory, Prjrep::IStringIterator** failed) override;
    Status ReservedOperation13() override { return kNotSupported; }
  } m_XIProjectBundle{this};

  // The bundle directory, normalised.
  String Directory() const;
  void ClearState() {
    m_createdHere = m_open = m_writable = m_copyMode = false;
    m_made.Keep();
  }
  // Where the items' copies record what they make and write, which a drop takes back: in a
  // bundle made here, and in one that was there, which keeps what it held.
  MadeFolders* Made() noexcept { return m_writable ? &m_made : nullptr; }
  // Copies the file beside `source` with `extension` to the same name beside `destination`,
  // when there is one; `status` becomes that copy's.
  void CopyCompanion(const Port::FileName& source, const Port::FileName& destination, const String& extension,
                     Status& status);

  Prjrep::TRefCountHelper<CDirectoryProjectBundle> m_refCount{this};
  bool m_initialized = false;
  String m_name;
  String m_location;
  Port::FileName m_path;
  String m_sourceDirectory;
  bool m_createdHere = false;
  MadeFolders m_made;  // by Create and the items: the folder, those on the way to it and what they wrote
  bool m_open = false;
  bool m_writable = false;
  bool m_copyMode = false;
};

}  // namespace Hvd
