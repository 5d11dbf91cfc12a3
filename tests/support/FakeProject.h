#pragma once
// A counted project that is each of the project interfaces itself: every operation answers
// "not supported" unless a test overrides it.

#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace testing_support {

struct FakeProject : Hvd::TComponent<FakeProject, Hvd::IProject4> {
  using Text = Port::StringBase<char>;
  static constexpr Hvd::Status kNo = Hvd::kNotSupported;
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Prjrep::IRefCount>(&count), Hvd::Row<Hvd::IProject>(this),
                      Hvd::Row<Hvd::IProject2>(this), Hvd::Row<Hvd::IProject3>(this), Hvd::Row<Hvd::IProject4>(this),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::Status GetRepositoryPath(Text*) override { return kNo; }
  Hvd::Status Open(const Text&) override { return kNo; }
  Hvd::Status ProjectClose(bool) override { return kNo; }
  Hvd::Status Save() override { return kNo; }
  Hvd::Status GetDesign(Hvd::IDesign**) override { return kNo; }
  Hvd::Status ProjectCleanUp() override { return kNo; }
  Hvd::Status GetReadOnly(bool*) override { return kNo; }
  Hvd::Status IsOpen(bool*) override { return kNo; }
  Hvd::Status GetConnectionManager(Hvd::Ipc::IConnectionManager**) override { return kNo; }
  Hvd::Status ReconcileProject() override { return kNo; }
  Hvd::Status GetProjectFilePath(Text*) override { return kNo; }
  Hvd::Status GetGeneratedFilePath(Text*) override { return kNo; }
  Hvd::Status GetWorkingDirectory(Text*) override { return kNo; }
  Hvd::Status ChangeWorkingDirectory(const Text&, bool, bool) override { return kNo; }
  Hvd::Status Reload() override { return kNo; }
  Hvd::Status ParseCompileOrderFile(const Text&, std::int32_t) override { return kNo; }
  Hvd::Status CleanupAutoManagedFiles() override { return kNo; }
  Hvd::Status WriteUsageStatistics() override { return kNo; }
  Hvd::Status Reopen(const Text&) override { return kNo; }
  Prjrep::TRefCountHelper<FakeProject> count{this};
};

}  // namespace testing_support
