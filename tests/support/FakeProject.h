#pragma once
// Project doubles: every operation answers "not supported" unless a test overrides it.

#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "core/RefCount.h"

namespace testing_support {

class FakeProjectBase : public Hvd::IProject4 {
 public:
  using Text = Port::StringBase<char>;
  std::uint64_t GetRepositoryPath(Text*) override { return Hvd::kNotSupported; }
  std::uint64_t Open(const Text&) override { return Hvd::kNotSupported; }
  std::uint64_t ProjectClose(bool) override { return Hvd::kNotSupported; }
  std::uint64_t Save() override { return Hvd::kNotSupported; }
  std::uint64_t GetDesign(Hvd::IDesign**) override { return Hvd::kNotSupported; }
  std::uint64_t ProjectCleanUp() override { return Hvd::kNotSupported; }
  std::uint64_t GetReadOnly(bool*) override { return Hvd::kNotSupported; }
  std::uint64_t IsOpen(bool*) override { return Hvd::kNotSupported; }
  std::uint64_t GetConnectionManager(Hvd::Ipc::IConnectionManager**) override { return Hvd::kNotSupported; }
  std::uint64_t ReconcileProject() override { return Hvd::kNotSupported; }
  std::uint64_t GetProjectFilePath(Text*) override { return Hvd::kNotSupported; }
  std::uint64_t GetGeneratedFilePath(Text*) override { return Hvd::kNotSupported; }
  std::uint64_t GetWorkingDirectory(Text*) override { return Hvd::kNotSupported; }
  std::uint64_t ChangeWorkingDirectory(const Text&, bool, bool) override { return Hvd::kNotSupported; }
  std::uint64_t Reload() override { return Hvd::kNotSupported; }
  std::uint64_t ParseCompileOrderFile(const Text&, std::int32_t) override { return Hvd::kNotSupported; }
  std::uint64_t CleanupAutoManagedFiles() override { return Hvd::kNotSupported; }
  std::uint64_t WriteUsageStatistics() override { return Hvd::kNotSupported; }
  std::uint64_t Reopen(const Text&) override { return Hvd::kNotSupported; }
};

// A counted project that is each of the project interfaces itself.
class FakeProject : public FakeProjectBase {
 public:
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    if (iid == Prjrep::IRefCount::GetIID()) return &count;
    const bool project = iid == Hvd::IProject::GetIID() || iid == Hvd::IProject2::GetIID() ||
                         iid == Hvd::IProject3::GetIID() || iid == Hvd::IProject4::GetIID();
    return project || iid == CitI::IInterface::GetIID() ? this : nullptr;
  }
  Prjrep::TRefCountHelper<FakeProject> count{this};
};

}  // namespace testing_support
