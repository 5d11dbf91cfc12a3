// The Tcl interpreter component, loaded by name the way the host loads it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/ITclInterp.h"
#include "Prjrep/IRefCount.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace {

using Hvd::kFailure;
using Hvd::kSuccess;
using Text = Port::StringBase<char>;

// One instance of the component, given up at the end of the scope.
struct Interp {
  ~Interp() {
    if (count != nullptr) std::ignore = count->Release();
  }
  Hvd::ITclInterp* operator->() const { return tcl; }
  // The result of a command that must succeed.
  std::string Run(const std::string& command) const {
    Text result;
    EXPECT_EQ(tcl->ExecuteCmd(command, result, 1), kSuccess) << command << ": " << result.c_str();
    return result.str();
  }

  CitI::IInterface* const root = CitP::Factory::CreateInstance(Hvd::TclInterpClassId());
  Hvd::ITclInterp* const tcl =
      root ? static_cast<Hvd::ITclInterp*>(root->QueryInterface(Hvd::ITclInterp::GetIID())) : nullptr;
  Prjrep::IRefCount* const count =
      root ? static_cast<Prjrep::IRefCount*>(root->QueryInterface(Prjrep::IRefCount::GetIID())) : nullptr;
};

// A project helper that records the sources it is given, or refuses them.
class SourceRecorder final : public Hvd::TComponent<SourceRecorder, Hvd::IProjSrcHelper> {
 public:
  auto QueryTable() {
    return Table(Row<Hvd::IProjSrcHelper>(this), Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this));
  }
  Hvd::Status AddProjectSource(const Text& source, std::int32_t) override {
    if (refuse) return kFailure;
    added.push_back(source.str());
    return kSuccess;
  }
  Hvd::Status HandOverSource(const Text&) override { return kFailure; }
  Hvd::Status SetSourceViewAssociation(CitI::IInterface*, std::int32_t) override { return kFailure; }
  std::vector<std::string> added;
  bool refuse = false;

 private:
  Prjrep::TRefCountHelper<SourceRecorder> m_refCount{this};
};

class TclInterpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_TOE"));
    Interp interp;
    ASSERT_TRUE(interp.root != nullptr && interp->Init("") == kSuccess);
    interp.Run("::velmor::Hvd::hvd_ResetDialogs; unset -nocomplain ::shared ::pwned");
  }
  void TearDown() override { CitP::Factory::Shutdown(); }
};

TEST_F(TclInterpTest, OneInterpreterOutlivesItsInstancesAndGivesResultsOrErrorsUnchanged) {
  Interp{}.Run("set ::shared 42");
  Interp later;
  Text result;
  EXPECT_EQ(later->Init("again"), kSuccess);
  EXPECT_EQ(later.Run("set ::shared"), "42");
  EXPECT_TRUE(later->ExecuteCmd("error {no such design}", result, 1) == kFailure && result == "no such design");
  // Tcl's internal forms of NUL and of characters past U+FFFF do not leak out.
  EXPECT_EQ(later.Run("string range a\\u0000\xf0\x9f\x98\x80 0 end"), std::string("a\0\xf0\x9f\x98\x80", 6));
  EXPECT_TRUE(later->ExecuteCmd("error \\u0000", result, 1) == kFailure && result.str() == std::string(1, '\0'));
  // A character past U+FFFF in a command is the value a script makes of it.
  EXPECT_EQ(later.Run("expr {\"\xf0\x9f\x98\x80\" eq [encoding convertfrom utf-8 \"\\xf0\\x9f\\x98\\x80\"]}"), "1");
}

TEST_F(TclInterpTest, BindObjectNamesTheObjectsIdentityAndHoldsNoReference) {
  Interp a, b;
  ASSERT_TRUE(a->BindObject(a.root, "viaRoot") == kSuccess && a->BindObject(a.tcl, "viaPart") == kSuccess);
  ASSERT_TRUE(a->BindObject(b.root, "other") == kSuccess && a->BindObject(nullptr, "none") == kSuccess);
  const std::string handle = a.Run("set viaRoot");
  EXPECT_TRUE(!handle.empty() && a.Run("set viaPart") == handle && a.Run("set other") != handle);
  EXPECT_EQ(b.Run("set none"), "");
  EXPECT_EQ(a.count->GetRefCount(), 1);
}

// The follow-up of an open adds its file through the helper it is handed; the helper bound as
// "piThisInterface" is in reach for the one command that follows only.
TEST_F(TclInterpTest, TheAddFollowUpGoesThroughTheHelperItIsHanded) {
  Interp interp;
  auto* helper = new SourceRecorder();
  const Prjrep::AutoRelease<Hvd::IProjSrcHelper> held(helper);
  const auto add = [&](const std::string& path, std::string* error) {
    Text result;
    const Hvd::Status status =
        interp->ExecuteCmd("::velmor::Hvd::hvd_chPostProcessAddFile {" + path + "} $piThisInterface", result, 1);
    if (error != nullptr) *error = result.str();
    return status;
  };
  ASSERT_EQ(interp->BindObject(helper, "piThisInterface"), kSuccess);
  EXPECT_EQ(add("/p/sys.mhs", nullptr), kSuccess);
  const std::string handle = interp.Run("set piThisInterface");  // kept, though out of reach now
  EXPECT_EQ(helper->added, std::vector<std::string>{"/p/sys.mhs"});
  std::string error;
  EXPECT_EQ(add("/p/late.mhs", &error), kFailure);
  EXPECT_EQ(error, "no project helper \"" + handle + "\"");
  helper->refuse = true;
  ASSERT_EQ(interp->BindObject(helper, "piThisInterface"), kSuccess);
  EXPECT_EQ(add("/p/refused.mhs", &error), kFailure);
  EXPECT_EQ(error, "the project did not take \"/p/refused.mhs\"");
  EXPECT_EQ(helper->added.size(), 1U);
}

// A question takes the next queued answer, else its default; both dialogs record what they showed.
TEST_F(TclInterpTest, HostileTextIsRecordedUnchangedAndRunsNothing) {
  const std::string hostile = "[set ::pwned 1] $::pwned {\"; set ::pwned 2 \\\n} \xC3\xA9";
  std::string hex;
  for (const unsigned char c : hostile) hex += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
  Interp interp;
  interp.Run("set ::hostile [encoding convertfrom utf-8 [binary decode hex " + hex + "]]");
  EXPECT_EQ(interp.Run("eval [list ::velmor::Hvd::hvd_DisplayQuestionDialog $::hostile $::hostile]"), hostile);
  interp.Run("lappend ::velmor::Hvd::answers $::hostile");
  EXPECT_EQ(interp.Run("eval [list ::velmor::Hvd::hvd_DisplayQuestionDialog $::hostile no]"), hostile);
  EXPECT_EQ(interp.Run("::velmor::Hvd::hvd_DisplayQuestionDialog Close? yes"), "yes") << "the answer was used up";
  EXPECT_EQ(interp.Run("eval [list ::velmor::Hvd::hvd_DisplayMessageBox $::hostile]"), "");
  EXPECT_EQ(interp.Run("list [lindex $::velmor::Hvd::asked 1] [lindex $::velmor::Hvd::shown 0 0]"),
            interp.Run("list $::hostile $::hostile"));
  EXPECT_EQ(interp.Run("info exists ::pwned"), "0");
}

// The copy of newer files follows no link and never copies a folder into itself.
TEST_F(TclInterpTest, CopyingNewerFilesStaysInsideItsTree) {
  Interp interp;
  interp.Run("set ::root [file join [file normalize /tmp] tcl_copy_[pid]]; file delete -force $::root;"
             "file mkdir [file join $::root src sub]; close [open [file join $::root src a.txt] w];"
             "close [open [file join $::root outside.txt] w];"
             "file link -symbolic [file join $::root src up] $::root");
  EXPECT_EQ(interp.Run("::velmor::pr::CopyNewerDir [file join $::root src] [file join $::root src sub copy]"), "0");
  EXPECT_EQ(interp.Run("::velmor::pr::CopyNewerDir [file join $::root src] [file join $::root dst]"), "1");
  EXPECT_EQ(interp.Run("file exists [file join $::root dst a.txt]"), "1");
  EXPECT_EQ(interp.Run("file exists [file join $::root dst up]"), "0");
  interp.Run("file delete -force $::root");
}

}  // namespace
