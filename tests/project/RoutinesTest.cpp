// The project module's routines: source file behind a path, extensions, clean-up script, audit log, Tcl procedures.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <thread>
#include <vector>

#include "CitP/Factory.h"
#include "Port/Process.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "utils/Factory.h"
#include "hostkit/TempDir.h"
#include "project/ProjectRoutines.h"
#include "support/FakeProject.h"
#include "utils/DmUtils.h"
#include "utils/DumperComp.h"
#include "utils/InterpHelp.h"
#include "utils/ShellScript.h"

namespace {

namespace fs = std::filesystem;
using Hvd::kFailure, Hvd::kSuccess;
using Prjrep::AutoCast, Prjrep::AutoRelease;
using String = Port::StringBase<char>;

void Touch(const std::string& path, const std::string& text = "") {
  fs::create_directories(fs::path(path).parent_path());
  TempDir::Write(path, text);
}
std::string Tcl(const std::string& command, Hvd::Status expected = kSuccess) {
  String result;
  EXPECT_EQ(InterpHelp::RunCmd(command.c_str(), nullptr, false, &result), expected) << command;
  return result.str();
}

// Every test runs in a directory of its own, which is also the current directory.
class RoutinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_TOE") && CitP::Factory::LoadLibraryFactory("libHvd_Base"));
    fs::current_path(m_dir);
  }
  void TearDown() override {
    fs::current_path(m_cwd);
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
  }
  // A repository file at `path` whose settings record `source` as its project source file.
  static void WriteRepository(const std::string& path, const std::string& source) {
    fs::create_directories(fs::path(path).parent_path());
    AutoRelease<Prjrep::IProjectRepository> repository = Hvd::FindAutonymByName(path.c_str(), true);
    AutoCast<Prjrep::IRegKeyStorage> sections(repository.Get());
    AutoRelease<Prjrep::IRegKeyPairs> keys;
    ASSERT_TRUE(sections && sections->OpenKey("/Corvane11", Prjrep::kCreate, keys.Receive()) == kSuccess);
    ASSERT_TRUE(keys->SetValue("XHLC_FILE", source) == kSuccess && repository->Save(0) == kSuccess);
    Prjrep::ResetNamedObjectRegistry();  // read back from the file
  }

  const TempDir m_temp;
  const std::string m_dir = fs::canonical(m_temp.path()).string();
  const fs::path m_cwd = fs::current_path();
};

TEST_F(RoutinesTest, SourceFileFallsBackFromRecordToSiblingToThePathItselfAndExtensionsAreReplaced) {
  const std::string a = m_dir + "/a";
  EXPECT_EQ(Hvd::ResolveProjectSourceFile("a/./x/../p.hlc"), a + "/p.xhlc") << "missing: relative and unclean";
  EXPECT_FALSE(Hvd::FindAutonymByName("a/./x/../p.hlc", false)) << "a missing file is not looked up";
  WriteRepository(a + "/p.hlc", "sub/q.xhlc");
  EXPECT_EQ(Hvd::ResolveProjectSourceFile(a + "/p.hlc"), a + "/p.hlc") << "neither the record's file nor a sibling";
  Touch(a + "/p.xhlc");
  EXPECT_EQ(Hvd::ResolveProjectSourceFile(a + "/p.hlc"), a + "/p.xhlc") << "the sibling";
  Touch(a + "/sub/q.xhlc");
  EXPECT_EQ(Hvd::ResolveProjectSourceFile("a/p.hlc"), a + "/sub/q.xhlc") << "the record, beside the repository";
  Touch(m_dir + "/b/r.xhlc");
  WriteRepository(a + "/p.hlc", m_dir + "/b/r.xhlc");
  EXPECT_EQ(Hvd::ResolveProjectSourceFile(a + "/p.hlc"), m_dir + "/b/r.xhlc") << "an absolute record";
  // A file that is no repository is read by nobody and written by nobody.
  Touch(m_dir + "/foo.txt", "not a repository\n");
  const auto entries = [&] { return std::distance(fs::recursive_directory_iterator(m_dir), {}); };
  const auto before = entries();
  EXPECT_EQ(Hvd::ResolveProjectSourceFile("foo.txt"), m_dir + "/foo.txt");
  EXPECT_TRUE(TempDir::Read(m_dir + "/foo.txt") == "not a repository\n" && entries() == before);

  // Project extensions are replaced (the result made absolute), other extensions kept.
  EXPECT_EQ(Hvd::ReplaceProjectExtension("/w/x/../a.snp", ".xhlc"), "/w/a.xhlc");
  EXPECT_EQ(Hvd::ReplaceProjectExtension("/w/a.hlc", "xhlc"), "/w/a.xhlc");
  EXPECT_EQ(Hvd::ReplaceProjectExtension("r/./a.ghlc", ".hlc"), m_dir + "/r/a.hlc");
  EXPECT_EQ(Hvd::ReplaceProjectExtension("/w/./a.xhlc", ".xhlc"), "/w/./a.xhlc") << "the same: untouched";
  EXPECT_EQ(Hvd::ReplaceProjectExtension("r/x/../a.txt", ".xhlc"), "r/a.txt.xhlc");
  EXPECT_EQ(Hvd::ReplaceProjectExtension("/w/a.HLC", ".xhlc"), "/w/a.HLC.xhlc");
}

// Only the shortest leading part that leads into the project's folder is named from it: links
// below it, and a file that is itself a link, stay as named.
TEST_F(RoutinesTest, APathThroughALinkToTheProjectsFolderIsNamedFromTheFolder) {
  const std::string prj = m_dir + "/real/prj";
  for (const char* folder : {"/real/prj/design/sub", "/elsewhere/shared", "/links/a/b"})
    fs::create_directories(m_dir + folder);
  fs::create_directory_symlink("../../real/prj", m_dir + "/links/a/prj");
  fs::create_directory_symlink("../../../real/prj", m_dir + "/links/a/b/deep");
  fs::create_directory_symlink("real/prj/design", m_dir + "/design");
  fs::create_directory_symlink("../../elsewhere/shared", prj + "/shared");
  fs::create_symlink("real/prj/design/c.vhd", m_dir + "/c.vhd");
  fs::create_directory_symlink("real", m_dir + "/up");
  const auto through = [&](const std::string& path) {
    return Hvd::ThroughProjectFolder(String(path), String(prj)).str();
  };
  EXPECT_EQ(through(m_dir + "/links/a/prj/design/c.vhd"), prj + "/design/c.vhd");
  EXPECT_EQ(through(m_dir + "/links/a/b/deep/shared/u.vhd"), prj + "/shared/u.vhd") << "the inner link kept";
  EXPECT_EQ(through(m_dir + "/design/sub/c.vhd"), prj + "/design/sub/c.vhd") << "a link into the folder";
  EXPECT_EQ(through(m_dir + "/links/a/prj/none/c.vhd"), prj + "/none/c.vhd") << "what follows need not exist";
  EXPECT_EQ(through(m_dir + "/up/prj/c.vhd"), prj + "/c.vhd") << "a link to a folder above it";
  for (const std::string& kept : {prj + "/shared/u.vhd", m_dir + "/elsewhere/shared/u.vhd", m_dir + "/c.vhd",
                                  m_dir + "/none/prj/c.vhd", std::string("links/a/prj/c.vhd")})
    EXPECT_EQ(through(kept), kept);

  // A project file named with a ".." after a link that leads nowhere or to itself is not where the
  // letters fold to: the name is kept, for the open to refuse.
  fs::create_symlink("gone", m_dir + "/links/dang");
  fs::create_symlink("loop", m_dir + "/links/loop");
  for (const char* link : {"/links/dang", "/links/loop"}) {
    const std::string named = m_dir + link + "/../a/prj/p.xhlc";
    EXPECT_EQ(Hvd::ResolveProjectSourceFile(String(named)).str(), named);
    EXPECT_EQ(through(named), named);
  }
}

// The settings section of an older repository file is handed out as the file holds it; one the
// file lacks is neither handed out nor made.
TEST_F(RoutinesTest, AnOlderRepositorysSettingsSectionIsOpenedOnlyWhereItIs) {
  const std::string path = m_dir + "/old.hlc";
  {
    AutoRelease<Prjrep::IProjectRepository> repository = Hvd::FindAutonymByName(path.c_str(), true);
    AutoCast<Prjrep::IStorage> root(repository.Get());
    AutoRelease<Prjrep::IStorage> section, item;
    ASSERT_TRUE(root && root->OpenStorage("/Corvane11", Prjrep::kCreate, section.Receive()) == kSuccess);
    ASSERT_TRUE(section->OpenItem("v", Prjrep::kCreate, item.Receive()) == kSuccess && item->WriteInt32(42) == kSuccess);
    ASSERT_EQ(repository->Save(0), kSuccess);
  }
  Prjrep::ResetNamedObjectRegistry();  // read back from the file
  AutoRelease<Prjrep::IProjectRepository> repository;
  AutoRelease<Prjrep::IStorage> section, item, other;
  ASSERT_EQ(Hvd::OpenSettingsSection("Corvane11", path, repository.Receive(), section.Receive(), nullptr), kSuccess);
  ASSERT_TRUE(repository && section);
  std::int32_t value = 0;
  EXPECT_TRUE(section->OpenItem("v", Prjrep::kRead, item.Receive()) == kSuccess && item->ReadInt32(&value) == kSuccess);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(Hvd::OpenSettingsSection("Other", path, repository.ReleaseAndReceive(), other.Receive(), nullptr), kSuccess);
  EXPECT_FALSE(other);
  EXPECT_NE(AutoCast<Prjrep::IStorage>(repository.Get())->OpenStorage("/Other", Prjrep::kOpenExisting, other.Receive()),
            kSuccess);
}

// The script names the project as one Tcl word, so a path with blanks, braces, brackets or a
// dollar is opened as it is and runs nothing; `project` records its calls here.
TEST_F(RoutinesTest, TheCleanupScriptOpensAndCleansHostilePathsAndRunsInTheShell) {
  Touch(m_dir + "/bin/velsh", "#!/bin/sh\nprintf '%s\\n' \"$@\" > velsh.args\ncp \"$1\" ran.tcl\n");
  fs::permissions(m_dir + "/bin/velsh", fs::perms::owner_all);
  std::optional<Hvd::ShellStandIn> shell(std::in_place, m_dir + "/bin/velsh");
  Tcl("proc ::project {args} {lappend ::calls $args}");
  for (const std::string name : {"a b", "{x}", "a}b", "[set ::pwned 1]", "$::env(HOME)", "q\"u;o\\te", "new\nline"}) {
    const std::string project = m_dir + "/p " + name + ".xhlc";
    Touch(project);
    Hvd::WriteAndRunCleanupScript(project);
    Tcl("set ::calls {}; source ran.tcl");
    EXPECT_EQ(Tcl("list [llength $::calls] [lindex $::calls 0 0] [lindex $::calls 1]"), "2 open clean") << name;
    EXPECT_EQ(Tcl("lindex $::calls 0 1"), project);
    fs::remove(project);
    EXPECT_EQ(Tcl("source ran.tcl", kFailure), "The project \"" + project + "\" does not exist.");
  }
  shell.reset();
  // One argument, no shell: the script by its absolute name in a folder of its own, gone now.
  std::string script = TempDir::Read("velsh.args");
  ASSERT_FALSE(script.empty());
  script.pop_back();
  EXPECT_EQ(script.find('\n'), std::string::npos);
  EXPECT_EQ(fs::path(script).filename(), "_cleanup_project_.tcl");
  EXPECT_TRUE(fs::path(script).is_absolute());
  EXPECT_NE(fs::path(script).parent_path(), fs::current_path());
  EXPECT_FALSE(fs::exists(fs::path(script).parent_path()));
  EXPECT_FALSE(fs::exists("_cleanup_project_.tcl"));
  EXPECT_EQ(Tcl("info exists ::pwned"), "0");
}

// The script's folder goes only while it is the one the run made: a folder put at its name
// meanwhile, the original moved aside, stays with what it holds.
TEST_F(RoutinesTest, AFolderPutAtTheScriptsFolderNameStays) {
  Touch(m_dir + "/bin/velsh",
        "#!/bin/sh\nd=$(dirname \"$1\")\nmv \"$d\" \"$d.moved\" && mkdir \"$d\" && echo mine > \"$d/notes.txt\"\n"
        "echo \"$d\" > folder.txt\n");
  fs::permissions(m_dir + "/bin/velsh", fs::perms::owner_all);
  {
    const Hvd::ShellStandIn shell(m_dir + "/bin/velsh");
    Hvd::WriteAndRunCleanupScript(m_dir + "/p.xhlc");
  }
  std::string folder = TempDir::Read("folder.txt");
  ASSERT_FALSE(folder.empty());
  folder.pop_back();
  EXPECT_EQ(TempDir::Read(folder + "/notes.txt"), "mine\n");
  fs::remove_all(folder);
  fs::remove_all(folder + ".moved");
}

// The script is never written through what lies at its name in the current directory, and two
// clean-ups at once each run their own: the first shell reads its script again only once the
// second has started, so with one shared file both would run the second writer's.
TEST_F(RoutinesTest, CleanupScriptsAreFilesOfTheirOwnEvenTwoAtOnce) {
  Touch(m_dir + "/bin/velsh",
        "#!/bin/sh\n"
        "if mkdir first 2>/dev/null; then\n"
        "  n=0; while [ ! -e second ] && [ $n -lt 200 ]; do sleep 0.05; n=$((n+1)); done\n"
        "else\n"
        "  touch second\n"
        "fi\n"
        "cat \"$1\" > \"out.$$\"\n");
  fs::permissions(m_dir + "/bin/velsh", fs::perms::owner_all);
  Touch(m_dir + "/victim.txt", "mine\n");
  fs::create_symlink("victim.txt", "_cleanup_project_.tcl");
  fs::create_directories(m_dir + "/tmp");
  const char* tmpdir = std::getenv("TMPDIR");
  const std::string savedTmpdir = tmpdir != nullptr ? tmpdir : "";
  ::setenv("TMPDIR", (m_dir + "/tmp").c_str(), 1);
  const std::string one = m_dir + "/one.xhlc", two = m_dir + "/two.xhlc";
  {
    const Hvd::ShellStandIn shell(m_dir + "/bin/velsh");
    std::thread first([&] { Hvd::WriteAndRunCleanupScript(one); });
    std::thread second([&] { Hvd::WriteAndRunCleanupScript(two); });
    first.join();
    second.join();
  }
  if (tmpdir != nullptr) {
    ::setenv("TMPDIR", savedTmpdir.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }

  std::vector<std::string> ran;
  for (const auto& entry : fs::directory_iterator(m_dir)) {
    if (entry.path().filename().string().rfind("out.", 0) == 0) ran.push_back(TempDir::Read(entry.path().string()));
  }
  ASSERT_EQ(ran.size(), 2u);
  std::sort(ran.begin(), ran.end());
  EXPECT_NE(ran[0].find("set filename " + one + " \n"), std::string::npos) << ran[0];
  EXPECT_NE(ran[1].find("set filename " + two + " \n"), std::string::npos) << ran[1];
  EXPECT_EQ(TempDir::Read(m_dir + "/victim.txt"), "mine\n");
  EXPECT_TRUE(fs::is_symlink("_cleanup_project_.tcl"));
  EXPECT_TRUE(fs::is_empty(m_dir + "/tmp")) << "each script and its folder are gone";
}

// With no shell stood in, the clean-up runs the velsh of this installation by its full path:
// neither one first on PATH nor one in the working directory, which an empty entry names, runs.
TEST_F(RoutinesTest, TheCleanupRunsThisInstallationsShellAndNoneFoundOnThePath) {
  for (const std::string& folder : {m_dir + "/bin", m_dir}) {
    Touch(folder + "/velsh", "#!/bin/sh\ntouch '" + folder + "/ran'\n");
    fs::permissions(folder + "/velsh", fs::perms::owner_all);
  }
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  ::setenv("PATH", (m_dir + "/bin::" + path).c_str(), 1);
  Hvd::WriteAndRunCleanupScript(m_dir + "/none.xhlc");
  ::setenv("PATH", path.c_str(), 1);
  EXPECT_FALSE(fs::exists(m_dir + "/bin/ran"));
  EXPECT_FALSE(fs::exists(m_dir + "/ran"));
  EXPECT_EQ(Port_Env::GetProgramFileName("velsh"), fs::path(VELSH_PATH).lexically_normal().string());
}

// Each session appends its own root to the one file; a name standing for no dumper is still withdrawn.
TEST_F(RoutinesTest, TheAuditLogIsRegisteredReusedAndClosedPerSession) {
  const auto registered = [] {
    AutoRelease<CitI::IInterface> found;
    std::ignore = Hvd::FindNamedObject(Hvd::kAuditLogName, found.Receive());
    return found;
  };
  for (const char* note : {"first", "second"}) {
    Hvd::OpenAuditLog(Hvd::kAuditLogFile, Hvd::kAuditLogName);
    const AutoRelease<CitI::IInterface> dumper = registered();
    Hvd::OpenAuditLog(Hvd::kAuditLogFile, Hvd::kAuditLogName);
    EXPECT_TRUE(dumper && registered().Get() == dumper.Get()) << "reused";
    Hvd::DumpNote("pr_audit", note);
    Hvd::CloseAuditLog(Hvd::kAuditLogName);
    EXPECT_FALSE(registered());
  }
  const std::string log = TempDir::Read(m_dir + "/pr_audit.xml");
  EXPECT_TRUE(log.find("\"first\"") < log.find("</Dumper>\n<Dumper >") && log.ends_with("\"second\"/>\n</Dumper>\n"))
      << log;

  AutoRelease<Hvd::IProject> other(new testing_support::FakeProject);
  std::ignore = Hvd::RegisterNamedObject(Hvd::GetNamedObjectRegistryCLSID(), "pr_audit", other.Get(), true);
  Hvd::OpenAuditLog(Hvd::kAuditLogFile, Hvd::kAuditLogName);
  Hvd::CloseAuditLog(Hvd::kAuditLogName);
  EXPECT_FALSE(registered());
}

// A procedure's argument is one word whatever it holds, and the object comes last; lookups that
// find nothing answer empty, and so do they without the components they reach.
TEST_F(RoutinesTest, TclProceduresAndLookupsWithoutWhatTheyReach) {
  Tcl("proc ::shape {args} {set ::shape $args; return [llength $args]}");
  AutoRelease<Hvd::IProject> project(new testing_support::FakeProject);
  String result("stale");
  EXPECT_TRUE(Hvd::RunTclProcWithObject("::shape", nullptr, nullptr, 0, &result) == kSuccess && result == "0");
  const char* argument = "a} [set ::pwned 1] {b $x \"";
  EXPECT_TRUE(Hvd::RunTclProcWithObject("::shape", argument, project.Get(), 0, &result) == kSuccess && result == "2");
  EXPECT_TRUE(Tcl("lindex $::shape 0") == argument && Tcl("info exists ::pwned") == "0");
  EXPECT_TRUE(Tcl("lindex $::shape 1") == Tcl("set ::piThisInterface") && !Tcl("set ::piThisInterface").empty());
  EXPECT_TRUE(Hvd::RunTclProcWithObject("::nosuchproc", nullptr, nullptr, 0, &result) == kFailure &&
              Hvd::RunTclProcWithObject(nullptr, argument, nullptr, 0, nullptr) == kFailure);

  AutoRelease<CitI::IInterface> registry = Hvd::GetNamedObjectRegistryCLSID();
  EXPECT_TRUE(Hvd::IsChildProject(registry, "OperationGate", project.Get()) &&
              !Hvd::IsChildProject(registry, "Unregistered", project.Get()) &&
              !Hvd::IsChildProject(registry, "OperationGate", nullptr) &&
              !Hvd::IsChildProject(nullptr, "OperationGate", project.Get()));
  Hvd::IFile* untouched = reinterpret_cast<Hvd::IFile*>(&project);
  EXPECT_TRUE(!Hvd::FindProjectFileOfType("FILE_ZMR", nullptr, &untouched) &&
              untouched == reinterpret_cast<Hvd::IFile*>(&project));
  EXPECT_TRUE(Hvd::GetDeviceStore() && Hvd::CleanUpConfigurationProjects() == kSuccess) << "no configuration manager";
  CitP::Factory::Shutdown();
  EXPECT_TRUE(!Hvd::GetDeviceStore() && Hvd::CleanUpConfigurationProjects() == kFailure);
}

}  // namespace
