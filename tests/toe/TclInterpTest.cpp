// The Tcl interpreter component, loaded by name the way the host loads it.

#include <gtest/gtest.h>

#include <string>

#include "CitP/Factory.h"
#include "Hvd/ITclInterp.h"
#include "Prjrep/IRefCount.h"

namespace {

using Text = Port::StringBase<char>;

// One instance of the component, given up at the end of the scope.
class Interp {
 public:
  Interp() : m_root(CitP::Factory::CreateInstance(Hvd::TclInterpClassId())) {
    if (m_root != nullptr) m_tcl = static_cast<Hvd::ITclInterp*>(m_root->QueryInterface(Hvd::ITclInterp::GetIID()));
  }
  ~Interp() {
    if (m_root != nullptr) std::ignore = Count()->Release();
  }
  Prjrep::IRefCount* Count() const {
    return static_cast<Prjrep::IRefCount*>(m_root->QueryInterface(Prjrep::IRefCount::GetIID()));
  }
  CitI::IInterface* Root() const { return m_root; }
  Hvd::ITclInterp* operator->() const { return m_tcl; }

  // The result of a command that must succeed.
  std::string Run(const std::string& command) const {
    Text result;
    EXPECT_EQ(m_tcl->ExecuteCmd(command, result, 1), Hvd::kSuccess) << command << ": " << result.c_str();
    return result.str();
  }

 private:
  CitI::IInterface* m_root;
  Hvd::ITclInterp* m_tcl = nullptr;
};

class TclInterpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_TOE"));
    Interp interp;
    ASSERT_NE(interp.Root(), nullptr);
    ASSERT_EQ(interp->Init(""), Hvd::kSuccess);
    interp.Run("::velmor::Hvd::hvd_ResetDialogs; unset -nocomplain ::shared ::pwned");
  }
  void TearDown() override { CitP::Factory::Shutdown(); }
};

TEST_F(TclInterpTest, OneInterpreterOutlivesItsInstances) {
  Interp{}.Run("set ::shared 42");
  Interp later;
  EXPECT_EQ(later->Init("again"), Hvd::kSuccess);
  EXPECT_EQ(later.Run("set ::shared"), "42");
}

TEST_F(TclInterpTest, BindObjectNamesTheObjectsIdentity) {
  Interp a;
  Interp b;
  ASSERT_EQ(a->BindObject(a.Root(), "viaRoot"), Hvd::kSuccess);
  ASSERT_EQ(a->BindObject(a.operator->(), "viaPart"), Hvd::kSuccess);
  ASSERT_EQ(a->BindObject(b.Root(), "other"), Hvd::kSuccess);
  ASSERT_EQ(a->BindObject(nullptr, "none"), Hvd::kSuccess);
  const std::string handle = a.Run("set viaRoot");
  EXPECT_FALSE(handle.empty());
  EXPECT_EQ(a.Run("set viaPart"), handle);
  EXPECT_NE(a.Run("set other"), handle);
  EXPECT_EQ(b.Run("set none"), "");
  EXPECT_EQ(a.Count()->GetRefCount(), 1);
}

TEST_F(TclInterpTest, ExecuteCmdGivesResultOrError) {
  Interp interp;
  Text result;
  EXPECT_EQ(interp->ExecuteCmd("expr {6 * 7}", result, 1), Hvd::kSuccess);
  EXPECT_EQ(result, "42");
  EXPECT_EQ(interp->ExecuteCmd("error {no such design}", result, 1), Hvd::kFailure);
  EXPECT_EQ(result, "no such design");
  // Tcl's internal forms of NUL and of characters past U+FFFF do not leak out.
  EXPECT_EQ(interp->ExecuteCmd("string range a\\u0000\xf0\x9f\x98\x80 0 end", result, 1), Hvd::kSuccess);
  EXPECT_EQ(result.str(), std::string("a\0\xf0\x9f\x98\x80", 6));
  EXPECT_EQ(interp->ExecuteCmd("error \\u0000", result, 1), Hvd::kFailure);
  EXPECT_EQ(result.str(), std::string(1, '\0'));
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
  EXPECT_EQ(interp.Run("lindex $::velmor::Hvd::asked 1"), hostile);
  EXPECT_EQ(interp.Run("lindex $::velmor::Hvd::shown 0 0"), hostile);
  EXPECT_EQ(interp.Run("info exists ::pwned"), "0");
}

}  // namespace
