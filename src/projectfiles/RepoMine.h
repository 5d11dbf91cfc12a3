#pragma once
// Brings a project of the older repository (an .hlc with its database) into the current
// model: reads its object tables, matches the old objects to each other and builds them into
// the opened current project. The Tcl migration layer reaches the same work through the
// component's two interfaces.

#include <cstdint>
#include <memory>
#include <vector>

#include "Hvd/ClassIds.h"
#include "Hvd/IProject.h"
#include "Hvd/IRepoMine.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IStorage.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "projectfiles/repomine/MigrationState.h"

class RepoMine : public Hvd::TComponent<RepoMine> {
 public:
  using String = Port::StringBase<char>;

  static const Port::XUID& GetCLSID() { return Hvd::ClassId::RepoMine(); }

  RepoMine();
  // The path is made absolute and canonical, so that the project built from it is found
  // however the path was spelled.
  explicit RepoMine(const String& path);
  ~RepoMine() override;
  RepoMine(const RepoMine&) = delete;
  RepoMine& operator=(const RepoMine&) = delete;

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IRepoMineTclStrings>(&m_XIRepoMineTclStrings),
                      Hvd::Row<Hvd::IProjectBuilder>(&m_XIProjectBuilder), Hvd::Row<Prjrep::IRefCount>(&m_refCount),
                      Hvd::Row<Prjrep::IRefCountV1>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }

  // --- Reading the older repository ---
  // True for a repository whose project version is not 0 and below 14.
  bool IsMigratable();
  // The project version recorded below a "Corvane" client area: 0 for none or an empty one,
  // 13 when no version is recorded or it cannot be read.
  static std::int32_t ReadProjectVersion(Prjrep::IStorage* storage);
  // Reads every old object into the state, then matches them and writes the snapshot
  // descriptions. 1 when the repository was read; it is closed on every path.
  Hvd::Status OpenRepository();
  void CorrelateFileData();
  void WriteSnapshotDescriptions();
  // Removes the old repository's temporary tree and lock.
  void CheckRepositoryLock();
  // Empties the old repository's client areas; a migration does so only once the project it
  // built is written, since the old file is all it was built from.
  static Hvd::Status TruncateCorvaneClientArea(const String& path);

  // --- Building the current project ---
  // The project to build into: the caller's opened project. Without one the project active
  // for the file name is taken; a project is never opened here.
  void SetProject(Hvd::IProject* project) { m_project.Assign(project); }
  Hvd::Status ImportSourceViewAssociations();
  static Hvd::Status ApplyProperties(Hvd::IProject* project, const std::vector<StringPair>& pairs);
  static void ApplySynthesisTop(Hvd::IProject* project, const std::vector<StringPair>& pairs);
  static bool WarnTarvisTopModule(Hvd::IProject* project);
  Hvd::Status BuildProject();

  // --- Diagnostic dumps ---
  void DumpRepository();
  void DumpProjectSummary();

  const String& FileName() const noexcept { return m_fileName; }
  const MigrationState& State() const noexcept { return *m_state; }
  const BuildRecords* Records() const noexcept { return m_records.get(); }
  // The old files and properties as Tcl lists.
  String FileList() const;
  String PropertyList() const;

 private:
  void AddRecord(const String& name, const String& library, const String& origination, const String& association);
  Prjrep::AutoPtr<Hvd::IProject> TargetProject() const;

  struct XIRepoMineTclStrings : Hvd::TNested<RepoMine, Hvd::IRepoMineTclStrings> {
    using TNested::TNested;
    Hvd::Status Open(const String& path) override;
    Hvd::Status GetFileList(String* list) override;
    Hvd::Status GetPropertyList(String* list) override;
  } m_XIRepoMineTclStrings{this};

  struct XIProjectBuilder : Hvd::TNested<RepoMine, Hvd::IProjectBuilder> {
    using TNested::TNested;
    Hvd::Status SetProjectFile(const String& path) override;
    Hvd::Status AddFile(const String& name, const String& library, const String& origination) override;
    Hvd::Status AddProperty(const String& name, const String& value) override;
    Hvd::Status BuildProject() override { return This().BuildProject(); }
    Hvd::Status AddFileWithAssociation(const String& name, const String& library, const String& origination,
                                       const String& association) override;
  } m_XIProjectBuilder{this};

  Prjrep::TRefCountHelper<RepoMine> m_refCount{this};
  String m_fileName;
  std::unique_ptr<MigrationState> m_state;
  std::unique_ptr<BuildRecords> m_records;
  Prjrep::AutoPtr<Hvd::IProject> m_project;
};
