#pragma once
// Project doubles: every operation answers "not supported" unless a test overrides it.

#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace testing_support {

class FakeProjectBase : public Hvd::IProject4 {
 public:
  using Text = Port::StringBase<char>;
  Hvd::Status GetRepositoryPath(Text*) override { return Hvd::kNotSupported; }
  Hvd::Status Open(const Text&) override { return Hvd::kNotSupported; }
  Hvd::Status ProjectClose(bool) override { return Hvd::kNotSupported; }
  Hvd::Status Save() override { return Hvd::kNotSupported; }
  Hvd::Status GetDesign(Hvd::IDesign**) override { return Hvd::kNotSupported; }
  Hvd::Status ProjectCleanUp() override { return Hvd::kNotSupported; }
  Hvd::Status GetReadOnly(bool*) override { return Hvd::kNotSupported; }
  Hvd::Status IsOpen(bool*) override { return Hvd::kNotSupported; }
  Hvd::Status GetConnectionManager(Hvd::Ipc::IConnectionManager**) override { return Hvd::kNotSupported; }
  Hvd::Status ReconcileProject() override { return Hvd::kNotSupported; }
  Hvd::Status GetProjectFilePath(Text*) override { return Hvd::kNotSupported; }
  Hvd::Status GetGeneratedFilePath(Text*) override { return Hvd::kNotSupported; }
  Hvd::Status GetWorkingDirectory(Text*) override { return Hvd::kNotSupported; }
  Hvd::Status ChangeWorkingDirectory(const Text&, bool, bool) override { return Hvd::kNotSupported; }
  Hvd::Status Reload() override { return Hvd::kNotSupported; }
  Hvd::Status ParseCompileOrderFile(const Text&, std::int32_t) override { return Hvd::kNotSupported; }
  Hvd::Status CleanupAutoManagedFiles() override { return Hvd::kNotSupported; }
  Hvd::Status WriteUsageStatistics() override { return Hvd::kNotSupported; }
  Hvd::Status Reopen(const Text&) override { return Hvd::kNotSupported; }
};

// A counted project that is each of the project interfaces itself.
class FakeProject : public Hvd::TComponent<FakeProject, FakeProjectBase> {
 public:
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Prjrep::IRefCount>(&count), Hvd::Row<Hvd::IProject>(this),
                      Hvd::Row<Hvd::IProject2>(this), Hvd::Row<Hvd::IProject3>(this), Hvd::Row<Hvd::IProject4>(this),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Prjrep::TRefCountHelper<FakeProject> count{this};
};

}  // namespace testing_support
