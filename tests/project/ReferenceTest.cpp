// A reference to another project file: its record, file, interfaces and count; the project look-ups.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Prjrep/IName.h"
#include "Prjrep/IPersist.h"
#include "Prjrep/StandIns.h"
#include "Prjrep/Storage.h"
#include "core/Factory.h"
#include "support/FakeProject.h"
#include "utils/DmUtils.h"

namespace {

using Hvd::kInvalidParameter, Hvd::kSuccess;
using Prjrep::AutoCast, Prjrep::AutoRelease;
using Strings = std::vector<std::string>;

constexpr Hvd::Status kInjected{0x1000000200000099ull};

AutoRelease<Hvd::IProjectReference> NewReference(const char* name, const char* file) {
  AutoRelease<Hvd::IProjectReference> reference(CitP::Factory::CreateInstance(Hvd::ClassId::ProjectReference()));
  EXPECT_TRUE(reference && AutoCast<Prjrep::IName>(reference.Get())->SetName(name) == kSuccess &&
              reference->SetProjectFileName(file) == kSuccess);
  return reference;
}
// "name|file" as the reference reports them.
std::string Shown(Hvd::IProjectReference* reference) {
  Port::StringBase<char> name, file("stale");
  EXPECT_TRUE(AutoCast<Prjrep::IName>(reference)->GetName(name) == kSuccess &&
              reference->GetProjectFileName(&file) == kSuccess);
  return name.str() + "|" + file.str();
}
// The strings not read yet from `storage`.
Strings Stored(Prjrep::IStorage* storage) {
  Strings values;
  for (Port::StringBase<char> value; storage->ReadString(&value) == kSuccess;) values.push_back(value.str());
  return values;
}

struct ReferenceTest : ::testing::Test {
  void SetUp() override { InstFactoryEntry(), Prjrep::RegisterComponents(); }
  void TearDown() override { Prjrep::ResetNamedObjectRegistry(), CitP::Factory::Shutdown(); }
};

// Every step of a load or save runs past a failed one, whose status is the answer.
TEST_F(ReferenceTest, TheRecordIsTheNameThenTheFileReadCanonicalAndEveryInterfaceReachesEveryOther) {
  auto written = NewReference("lib", "/w/../w/sub/lib.xhlc"), read = NewReference("", "");
  AutoCast<Prjrep::IPersist> persist(written.Get()), reader(read.Get());
  AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage()), other(Prjrep::CreateStorage());
  AutoCast<Prjrep::IStorageControl> control(storage.Get()), otherControl(other.Get());
  ASSERT_EQ(persist->PersistSave(storage), kSuccess);
  EXPECT_TRUE(reader->PersistLoad(storage) == kSuccess && Shown(read) == "lib|/w/sub/lib.xhlc");
  std::ignore = control->Rewind();
  EXPECT_EQ(Stored(storage), (Strings{"lib", "/w/../w/sub/lib.xhlc"}));
  std::ignore = control->Rewind();
  control->FailOperation(1, kInjected);
  EXPECT_TRUE(reader->PersistLoad(storage) == kInjected && Shown(read) == "|lib")
      << "the file read next, here the value the failed read left";
  otherControl->FailOperation(1, kInjected);
  EXPECT_TRUE(persist->PersistSave(other) == kInjected && Stored(other) == Strings{"/w/../w/sub/lib.xhlc"});
  EXPECT_TRUE(reader->PersistSave(nullptr) == kInvalidParameter && reader->PersistLoad(nullptr) == kInvalidParameter);
  EXPECT_TRUE(read->SetProjectFileName("/w/dir/") == kSuccess && Shown(read) == "|") << "no file part";
  EXPECT_EQ(read->GetProjectFileName(nullptr), kInvalidParameter);

  // Taken through one face and given up through another, the reference is counted once.
  AutoCast<Prjrep::IRefCount> count(written.Get());
  const Port::XUID ids[] = {Prjrep::IPersist::GetIID(), Prjrep::IName::GetIID(), Hvd::IProjectReference::GetIID(),
                            Prjrep::IRefCount::GetIID(), CitI::IInterface::GetIID()};
  for (const Port::XUID& from : ids) {
    CitI::IInterface* part = written->QueryInterface(from);
    ASSERT_NE(part, nullptr) << from.GetAsString().str();
    for (const Port::XUID& to : ids) EXPECT_EQ(part->QueryInterface(to), written->QueryInterface(to));
    EXPECT_EQ(part->QueryInterface(Hvd::IProjRefUtils::GetIID()), nullptr);
    std::ignore = count->AddRef();
    Prjrep::ReleaseObject(part);
  }
  EXPECT_TRUE(count->GetRefCount() == 1 && Shown(written) == "lib|/w/sub/lib.xhlc");
}

// Each look-up hands out one reference, or null when it finds nothing, and refuses a missing output.
TEST_F(ReferenceTest, TheProjectLookUpsForwardToTheUtilities) {
  const char* const kTop = "/w/top.xhlc";
  AutoRelease<testing_support::FakeProject> project(new testing_support::FakeProject);
  ASSERT_EQ(Hvd::RegisterNamedObject(Hvd::FindAutonymByName(kTop, true), "ActiveHvdProject", project.Get(), true),
            kSuccess);
  AutoRelease<Hvd::IProjRefUtils> utils(CitP::Factory::CreateInstance(Hvd::ClassId::ProjRefUtils()));
  auto reference = NewReference("top", "/w/sub/../top.xhlc");
  const std::int32_t held = project->count.GetRefCount();
  AutoRelease<Hvd::IProject> owner, active;
  EXPECT_TRUE(utils->GetOwningProject(reference, owner.Receive()) == kSuccess && owner.Get() == project.Get() &&
              utils->GetActiveProjectOfRepository(kTop, active.Receive()) == kSuccess && active.Get() == project.Get());
  EXPECT_EQ(project->count.GetRefCount(), held + 2) << "one for each project handed out";

  Hvd::IProject* stale = project.Get();
  EXPECT_TRUE(utils->GetOwningProject(nullptr, &stale) == kSuccess && stale == nullptr) << "nothing for no object";
  EXPECT_TRUE(utils->GetOwningProject(reference, nullptr) == kInvalidParameter &&
              utils->GetActiveProjectOfRepository(kTop, nullptr) == kInvalidParameter &&
              utils->GetObjectFullPath(nullptr, reference) == kInvalidParameter &&
              utils->GetCvfProject(reference, nullptr) == kInvalidParameter);
}

}  // namespace

#include "Hvd/IProjectHelper.h"

namespace {

// The full path is the object's canonical path; the Cvf project is the helper registered for
// that path, and none is made for the asking.
TEST_F(ReferenceTest, TheUtilitiesGiveTheCanonicalPathAndOnlyARegisteredCvfProject) {
  AutoRelease<Hvd::IProjRefUtils> utils(CitP::Factory::CreateInstance(Hvd::ClassId::ProjRefUtils()));
  ASSERT_TRUE(utils);
  auto reference = NewReference("top", "/w/sub/../top.xhlc");
  Port::StringBase<char> path("stale");
  EXPECT_TRUE(utils->GetObjectFullPath(&path, reference) == kSuccess && path.str() == "/w/top.xhlc");
  EXPECT_TRUE(utils->GetObjectFullPath(&path, nullptr) == kSuccess && path.empty());

  AutoRelease<Hvd::IProjectHelper> found;
  EXPECT_TRUE(utils->GetCvfProject(reference, found.Receive()) == kSuccess && !found) << "none registered, none made";
  ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Cvf"));
  AutoRelease<Hvd::IProjectHelper> helper(CitP::Factory::CreateInstance(Hvd::ProjectHelperClassId()));
  ASSERT_TRUE(helper);
  ASSERT_EQ(Hvd::RegisterNamedObject(Hvd::FindAutonymByName("/w/top.xhlc", true), "CvfProject", helper.Get(), true),
            kSuccess);
  const std::int32_t held = AutoCast<Prjrep::IRefCount>(helper.Get())->GetRefCount();
  ASSERT_EQ(utils->GetCvfProject(reference, found.ReleaseAndReceive()), kSuccess);
  EXPECT_EQ(Hvd::RootOf(found.Get()), Hvd::RootOf(helper.Get()));
  EXPECT_EQ(AutoCast<Prjrep::IRefCount>(helper.Get())->GetRefCount(), held + 1) << "one reference handed out";
}

}  // namespace
