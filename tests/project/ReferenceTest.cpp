// A project's reference to another project file: its stored record, the file it reports, its
// interfaces and count; and the project look-ups offered to other libraries.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectHelper.h"
#include "Prjrep/IName.h"
#include "Prjrep/IPersist.h"
#include "Prjrep/StandIns.h"
#include "Prjrep/Storage.h"
#include "core/Factory.h"
#include "core/Holders.h"
#include "hostkit/TempDir.h"
#include "support/FakeProject.h"
#include "utils/DmUtils.h"

namespace {

using Hvd::kInvalidParameter;
using Hvd::kSuccess;
using Hvd::Status;
using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;

constexpr Status kInjected{0x1000000200000099ull};

class ReferenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstFactoryEntry();
    Prjrep::RegisterComponents();
  }
  void TearDown() override {
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
  }
  static AutoRelease<Hvd::IProjectReference> NewReference(const char* name, const char* file) {
    AutoRelease<Hvd::IProjectReference> reference(CitP::Factory::CreateInstance(Hvd::ClassId::ProjectReference()));
    EXPECT_TRUE(reference && AutoCast<Prjrep::IName>(reference.Get())->SetName(name) == kSuccess &&
                reference->SetProjectFileName(file) == kSuccess);
    return reference;
  }
  static std::string NameOf(Hvd::IProjectReference* reference) {
    Text name;
    std::ignore = AutoCast<Prjrep::IName>(reference)->GetName(name);
    return name.str();
  }
  static std::string FileOf(Hvd::IProjectReference* reference) {
    Text file("stale");
    EXPECT_EQ(reference->GetProjectFileName(&file), kSuccess);
    return file.str();
  }
  // The strings left in `storage` from its start.
  static std::vector<std::string> Strings(Prjrep::IStorage* storage) {
    std::ignore = AutoCast<Prjrep::IStorageControl>(storage)->Rewind();
    std::vector<std::string> values;
    for (Text value; storage->ReadString(&value) == kSuccess;) values.push_back(value.str());
    std::ignore = AutoCast<Prjrep::IStorageControl>(storage)->Rewind();
    return values;
  }
};

TEST_F(ReferenceTest, TheRecordIsTheNameThenTheFileAsGivenAndEveryStepRunsPastAFailure) {
  auto written = NewReference("lib", "/w/../w/sub/lib.xhlc");
  AutoCast<Prjrep::IPersist> persist(written.Get());
  TempDir dir;
  const std::string file = dir / "refs.bin";
  {
    AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
    ASSERT_EQ(persist->PersistSave(storage), kSuccess);
    ASSERT_EQ(Strings(storage), (std::vector<std::string>{"lib", "/w/../w/sub/lib.xhlc"}));
    ASSERT_EQ(AutoCast<Prjrep::IStorageControl>(storage.Get())->SaveToFile(file.c_str()), kSuccess);
  }
  AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  AutoCast<Prjrep::IStorageControl> control(storage.Get());
  ASSERT_EQ(control->LoadFromFile(file.c_str()), kSuccess);
  auto read = NewReference("", "");
  ASSERT_EQ(AutoCast<Prjrep::IPersist>(read.Get())->PersistLoad(storage), kSuccess);
  EXPECT_EQ(NameOf(read) + "|" + FileOf(read), "lib|/w/sub/lib.xhlc");

  // A failed name read still reads the file name (here the value the failed read left in place).
  std::ignore = control->Rewind();
  control->FailOperation(1, kInjected);
  EXPECT_EQ(AutoCast<Prjrep::IPersist>(read.Get())->PersistLoad(storage), kInjected);
  EXPECT_EQ(NameOf(read) + "|" + FileOf(read), "|lib");
  // A failed name write still writes the file name.
  AutoRelease<Prjrep::IStorage> other(Prjrep::CreateStorage());
  AutoCast<Prjrep::IStorageControl>(other.Get())->FailOperation(1, kInjected);
  EXPECT_EQ(persist->PersistSave(other), kInjected);
  EXPECT_EQ(Strings(other), std::vector<std::string>{"/w/../w/sub/lib.xhlc"});
  EXPECT_TRUE(persist->PersistSave(nullptr) == kInvalidParameter && persist->PersistLoad(nullptr) == kInvalidParameter);
}

TEST_F(ReferenceTest, TheFileIsCanonicalEmptyWithoutAFilePartAndRefusedWithoutAnOutput) {
  auto reference = NewReference("r", "a/./b/../c.xhlc");
  EXPECT_EQ(FileOf(reference), "a/c.xhlc");
  for (const char* noFile : {"/w/dir/", ""}) {
    std::ignore = reference->SetProjectFileName(noFile);
    EXPECT_EQ(FileOf(reference), "") << noFile;
  }
  EXPECT_EQ(reference->GetProjectFileName(nullptr), kInvalidParameter);
}

TEST_F(ReferenceTest, EveryInterfaceReachesEveryOtherAsOneCountedObject) {
  auto reference = NewReference("r", "/p.xhlc");
  const Port::XUID ids[] = {Prjrep::IPersist::GetIID(), Prjrep::IName::GetIID(), Hvd::IProjectReference::GetIID(),
                            Prjrep::IRefCount::GetIID(), CitI::IInterface::GetIID()};
  for (const Port::XUID& from : ids) {
    CitI::IInterface* part = reference->QueryInterface(from);
    ASSERT_NE(part, nullptr) << from.GetAsString().str();
    for (const Port::XUID& to : ids) EXPECT_EQ(part->QueryInterface(to), reference->QueryInterface(to));
    EXPECT_EQ(part->QueryInterface(Hvd::IProjRefUtils::GetIID()), nullptr);
  }
  // Counted alike through every face; the holder's last release destroys the object.
  AutoCast<Prjrep::IRefCount> count(reference.Get());
  for (int n = 0; n < 2; ++n) std::ignore = count->AddRef();
  EXPECT_EQ(count->GetRefCount(), 3);
  Prjrep::ReleaseObject(AutoCast<Prjrep::IName>(reference.Get()));
  Prjrep::ReleaseObject(AutoCast<Prjrep::IPersist>(reference.Get()));
  EXPECT_TRUE(count->GetRefCount() == 1 && NameOf(reference) == "r");
}

TEST_F(ReferenceTest, TheProjectLookUpsForwardToTheUtilitiesAndRefuseAMissingOutput) {
  TempDir dir;
  const std::string path = dir / "top.xhlc";
  AutoRelease<testing_support::FakeProject> project(new testing_support::FakeProject);
  ASSERT_EQ(
      Hvd::RegisterNamedObject(Hvd::FindAutonymByName(path.c_str(), true), "ActiveHvdProject", project.Get(), true),
      kSuccess);
  AutoRelease<Hvd::IProjRefUtils> utils(CitP::Factory::CreateInstance(Hvd::ClassId::ProjRefUtils()));
  ASSERT_TRUE(utils);
  auto reference = NewReference("top", (dir / "sub/../top.xhlc").c_str());
  const std::int32_t held = project->count.GetRefCount();

  AutoRelease<Hvd::IProject> owner, active, none;
  AutoRelease<Hvd::IProjectHelper> helper;
  Text fullPath;
  EXPECT_EQ(utils->GetOwningProject(reference, owner.Receive()), kSuccess);
  EXPECT_EQ(utils->GetActiveProjectOfRepository(path.c_str(), active.Receive()), kSuccess);
  EXPECT_EQ(utils->GetActiveProjectOfRepository((dir / "none.xhlc").c_str(), none.Receive()), kSuccess);
  EXPECT_EQ(utils->GetObjectFullPath(&fullPath, reference), kSuccess);
  EXPECT_EQ(utils->GetCvfProject(reference, helper.Receive()), kSuccess);
  EXPECT_TRUE(owner.Get() == project.Get() && active.Get() == project.Get() && !none && !helper);
  EXPECT_EQ(fullPath.str(), path);
  EXPECT_EQ(project->count.GetRefCount(), held + 2) << "one for each project handed out";

  Hvd::IProject* stale = project.Get();
  EXPECT_TRUE(utils->GetOwningProject(reference, nullptr) == kInvalidParameter &&
              utils->GetActiveProjectOfRepository(path.c_str(), nullptr) == kInvalidParameter &&
              utils->GetObjectFullPath(nullptr, reference) == kInvalidParameter &&
              utils->GetCvfProject(reference, nullptr) == kInvalidParameter);
  EXPECT_TRUE(utils->GetOwningProject(nullptr, &stale) == kSuccess && stale == nullptr) << "nothing for no object";
}

}  // namespace
