// Copies of an open project through its own interfaces: save as, copy with the sources from
// outside it, and the zip archive; what each takes along and how the copy names its files.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <set>

#include "Hvd/IProjectCopy.h"
#include "Port/FaultInjection.h"
#include "Port/Process.h"
#include "XhlcProject.h"
#include "project/copy/CFileMapHelper.h"
#include "utils/DirectoryLock.h"
#include "utils/FileUtils.h"

namespace xhlc_test {
namespace {

using Names = std::set<std::string>;

// Every file below `root`, relative to it, leaving out `skip` directories.
Names Tree(const fs::path& root, const Names& skip = {}) {
  Names names;
  if (!fs::exists(root)) return names;
  for (auto entry = fs::recursive_directory_iterator(root); entry != fs::recursive_directory_iterator(); ++entry) {
    if (entry->is_directory() && skip.count(entry->path().filename().string()) != 0) {
      entry.disable_recursion_pending();
      continue;
    }
    if (entry->is_regular_file()) names.insert(fs::relative(entry->path(), root).string());
  }
  return names;
}

// Every entry below `root` by its own name, a link's too, folders among them; none when it is gone.
Names Listing(const fs::path& root) {
  Names names;
  if (!fs::is_directory(root)) return names;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    names.insert(entry.path().lexically_relative(root).string());
  return names;
}

// The output of a command whose arguments hold no quote.
std::string RunCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, read);
  *status = ::pclose(pipe);
  return output;
}

bool Said(const std::string& part) {
  for (const auto& record : Port_MsgManData::Captured())
    if (record.text.find(part) != std::string::npos) return true;
  return false;
}

class ProjectCopyTest : public XhlcProject {
 protected:
  // The map and the bundle of a copy of the project into "copy" beside it; none when either
  // cannot be set up.
  AutoRelease<Hvd::IProjectBundle> CopyBundle(Hvd::CFileMapHelper& map) {
    AutoRelease<Hvd::IProjectBundle> bundle;
    if (map.SetupMap(true, false, m_dir.c_str(), (m_root / "copy").c_str(), "", false, (m_dir / "p.hlc").c_str(),
                     (m_root / "copy/p.xhlc").c_str(), (m_root / "copy").c_str()) != Hvd::kSuccess)
      return bundle;
    std::ignore = bundle.Assign(CitP::Factory::CreateInstance(Hvd::ClassId::DirectoryProjectBundle()));
    if (bundle && (bundle->Initialize("copy", m_root.c_str(), m_dir.c_str()) != Hvd::kSuccess ||
                   bundle->Create(false) != Hvd::kSuccess))
      std::ignore = bundle.Assign(nullptr);
    return bundle;
  }
  void OpenProject() {
    m_project = AutoRelease<Hvd::IProject>(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    ASSERT_TRUE(m_project);
    ASSERT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->SetSaveDelay(0), Hvd::kSuccess);
    ASSERT_EQ(m_project->Open(m_file.c_str()), Hvd::kSuccess);
  }
  void Add(const fs::path& path, const std::string& text = "entity e is end;\n") {
    WriteText(path, text);
    AutoRelease<Hvd::IHdlFile> file;
    ASSERT_EQ(Files()->ProjectAddFile(path.c_str(), nullptr, file.Receive()), Hvd::kSuccess) << path;
  }
  AutoCast<Hvd::IProjectSaveAsArchive3> Copies() { return AutoCast<Hvd::IProjectSaveAsArchive3>(m_project.Get()); }
  // The files a copy's project file names, read by opening it in a project of its own.
  Strings FilesOf(const fs::path& file) {
    AutoRelease<Hvd::IProject> copy(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    EXPECT_EQ(copy->Open(file.c_str()), Hvd::kSuccess);
    Strings names;
    AutoRelease<Hvd::IHdlFileIterator> files;
    if (AutoCast<Hvd::IFileManager>(copy.Get())->GetProjectFiles(files.Receive()) == Hvd::kSuccess) {
      for (; files && !files->IsDone(); std::ignore = files->Next()) {
        Text name;
        std::ignore = AutoCast<Prjrep::IFileNameHelper>(files->Current())->GetFullName(&name);
        names.push_back(name.str());
      }
    }
    std::sort(names.begin(), names.end());
    std::ignore = copy->ProjectClose(false);
    return names;
  }
  // A project with two files inside its directory and one beside it.
  void MakeProject() {
    OpenProject();
    Add(m_dir / "a.vhd");
    Add(m_dir / "sub/b.vhd");
    Add(m_root / "lib/c.vhd");
    ASSERT_EQ(m_project->Save(), Hvd::kSuccess);
  }
  // An archive in a child process that ends at the nth call of `operation` on a path holding
  // `pathPart`, as a kill there would end it.
  void KillArchiveAt(const fs::path& archive, const char* operation, int nth, const char* pathPart) {
    ASSERT_TRUE(ArchiveKilledAt(archive, operation, nth, pathPart)) << operation;
  }
  // Whether an archive run in a child process ended at the nth call of `operation`.
  bool ArchiveKilledAt(const fs::path& archive, const char* operation, int nth, const std::string& pathPart) {
    const pid_t child = ::fork();
    if (child == 0) {
      Port::FaultInjection::Exit(operation, nth, pathPart);
      ::_exit(Copies()->SaveAsArchive(archive.c_str(), nullptr) == Hvd::kSuccess ? 0 : 1);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    return WIFEXITED(status) && WEXITSTATUS(status) == Port::FaultInjection::kExitStatus;
  }

  Port::FaultInjection::Scope m_faults;
};

TEST_F(ProjectCopyTest, SaveAsIntoANewDirectoryTakesTheProjectsOwnSources) {
  MakeProject();
  const std::string original = ReadText(m_file);
  const fs::path copy = m_root / "copy/q.xhlc";
  ASSERT_EQ(Copies()->SaveAs(copy.c_str()), Hvd::kSuccess);
  EXPECT_EQ(Tree(m_root / "copy"), (Names{"q.xhlc", "q.ghlc", "a.vhd", "sub/b.vhd"}));
  EXPECT_EQ(FilesOf(copy), (Strings{(m_root / "copy/a.vhd").string(), (m_root / "copy/sub/b.vhd").string(),
                                    (m_root / "lib/c.vhd").string()}));
  // The project itself stays as it was, where it was.
  EXPECT_EQ(ReadText(m_file), original);
  Text path;
  EXPECT_TRUE(AutoCast<Hvd::IProject2>(m_project.Get())->GetProjectFilePath(&path) == Hvd::kSuccess &&
              path.str() == m_file.string());

  // Onto itself: saved, nothing else written.
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(Copies()->SaveAs(m_file.c_str()), Hvd::kSuccess);
  EXPECT_TRUE(Said("WARNING: Attempting to copy a project to itself."));
  EXPECT_EQ(ReadText(m_file), original);
}

// A file goes along when this project is among its originators, whatever others it has; one
// that only other objects originate is another project's, and stays behind.
TEST_F(ProjectCopyTest, OnlyFilesThisProjectOriginatesGoAlong) {
  MakeProject();
  const auto file = [&](const fs::path& path) {
    AutoRelease<Hvd::IHdlFileIterator> files;
    EXPECT_EQ(Files()->GetProjectFiles(files.Receive()), Hvd::kSuccess);
    for (; files && !files->IsDone(); std::ignore = files->Next()) {
      Text name;
      if (AutoCast<Prjrep::IFileNameHelper>(files->Current())->GetFullName(&name) == Hvd::kSuccess &&
          name.str() == path.string())
        return AutoCast<Hvd::IOriginatorRef>(files->Current());
    }
    return AutoCast<Hvd::IOriginatorRef>(nullptr);
  };
  const auto a = file(m_dir / "a.vhd");
  const auto b = file(m_dir / "sub/b.vhd");
  const auto c = file(m_root / "lib/c.vhd");
  ASSERT_TRUE(a && b && c);
  fs::create_directories(m_root / "other");
  fs::copy_file(m_file, m_root / "other/o.xhlc");
  AutoRelease<Hvd::IProject> other(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  ASSERT_TRUE(other && other->Open((m_root / "other/o.xhlc").c_str()) == Hvd::kSuccess);
  ASSERT_EQ(a->AddOriginator(other.Get()), Hvd::kSuccess);
  AutoRelease<Prjrep::IAutonymSet> originators;
  ASSERT_EQ(b->GetOriginators(originators.Receive()), Hvd::kSuccess);
  ASSERT_EQ(originators->Clear(), Hvd::kSuccess);
  ASSERT_EQ(b->AddOriginator(other.Get()), Hvd::kSuccess);
  ASSERT_EQ(Copies()->SaveAs((m_root / "copy/q.xhlc").c_str()), Hvd::kSuccess);
  EXPECT_EQ(Tree(m_root / "copy"), (Names{"q.xhlc", "q.ghlc", "a.vhd"}));
  std::ignore = other->ProjectClose(false);
}

// Its own subdirectory holds the copy; the walk never enters it, and a file that the copy would
// lay over another of the project's files fails the copy instead.
TEST_F(ProjectCopyTest, SaveAsIntoItsOwnSubdirectory) {
  MakeProject();
  ASSERT_EQ(Copies()->SaveAs((m_dir / "sub/q.xhlc").c_str()), Hvd::kSuccess);
  EXPECT_EQ(Tree(m_dir), (Names{"p.xhlc", "p.ghlc", "a.vhd", "sub/b.vhd", "sub/q.xhlc", "sub/q.ghlc", "sub/a.vhd",
                                "sub/sub/b.vhd"}));
  Add(m_dir / "sub/a.vhd", "-- the project's own\n");
  fs::remove_all(m_dir / "sub/sub");
  EXPECT_EQ(Copies()->SaveAs((m_dir / "sub/r.xhlc").c_str()), Hvd::kDirectoryWriteFailed);
  EXPECT_EQ(ReadText(m_dir / "sub/a.vhd"), "-- the project's own\n");
  EXPECT_FALSE(fs::exists(m_dir / "sub/r.xhlc"));
}

// Files from outside the project go below remote_sources, two of one name each to its own place.
TEST_F(ProjectCopyTest, CopyTakesTheSourcesFromOutside) {
  MakeProject();
  Add(m_root / "x1/x.vhd", "-- one\n");
  Add(m_root / "x2/x.vhd", "-- two\n");
  ASSERT_EQ(Copies()->CopyProjectTo("q.xhlc", (m_root / "copy").c_str(), "", "", true, true), Hvd::kSuccess);
  EXPECT_EQ(Tree(m_root / "copy"), (Names{"q.xhlc", "q.ghlc", "a.vhd", "sub/b.vhd", "remote_sources/_/lib/c.vhd",
                                          "remote_sources/_/x1/x.vhd", "remote_sources/_/x2/x.vhd"}));
  EXPECT_EQ(ReadText(m_root / "copy/remote_sources/_/x2/x.vhd"), "-- two\n");
  const fs::path remote = m_root / "copy/remote_sources/_";
  EXPECT_EQ(FilesOf(m_root / "copy/q.xhlc"),
            (Strings{(m_root / "copy/a.vhd").string(), (remote / "lib/c.vhd").string(), (remote / "x1/x.vhd").string(),
                     (remote / "x2/x.vhd").string(), (m_root / "copy/sub/b.vhd").string()}));

  // The plain copy gives back the remote-sources name only when it copied one.
  Text name;
  ASSERT_EQ(Copies()->CopyProject((m_root / "copy2/q.xhlc").c_str(), 0x146, "", "", &name), Hvd::kSuccess);
  EXPECT_EQ(name.str(), "remote_sources");
}

// A project without its project file (never opened, or closed) has nothing to copy from: a save
// as or a copy of it fails before anything is written, a file already at the target included.
TEST_F(ProjectCopyTest, AProjectWithoutItsFileIsNeitherSavedAsNorCopied) {
  WriteText(m_root / "copy/q.xhlc", "mine\n");
  const auto refused = [&](const char* when) {
    SCOPED_TRACE(when);
    Text name;
    EXPECT_EQ(Copies()->SaveAs((m_root / "copy/q.xhlc").c_str()), Hvd::kFailure);
    EXPECT_EQ(Copies()->CopyProject((m_root / "copy/q.xhlc").c_str(), 0x146, "", "", &name), Hvd::kFailure);
    EXPECT_EQ(Copies()->CopyProjectTo("q.xhlc", (m_root / "copy2").c_str(), "", "", true, true), Hvd::kFailure);
    EXPECT_EQ(Tree(m_root / "copy"), Names{"q.xhlc"});
    EXPECT_EQ(ReadText(m_root / "copy/q.xhlc"), "mine\n");
    EXPECT_FALSE(fs::exists(m_root / "copy2"));
  };
  m_project = AutoRelease<Hvd::IProject>(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  refused("never opened");
  MakeProject();
  ASSERT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  refused("closed");
}

// A copy named with what its generated file cannot hold could be opened but never saved: it is
// refused, with the name escaped, before anything is written.
TEST_F(ProjectCopyTest, ACopyNamedWithWhatNoProjectFileCanHoldIsNotMade) {
  MakeProject();
  Port_MsgManData::ClearCaptured();
  Text name;
  const std::string bad = "q\x1b.xhlc";
  EXPECT_EQ(Copies()->SaveAs((m_root / "copy" / bad).c_str()), Hvd::kInvalidParameter);
  EXPECT_EQ(Copies()->CopyProject((m_root / "copy" / bad).c_str(), 0x146, "", "", &name), Hvd::kInvalidParameter);
  EXPECT_EQ(Copies()->CopyProjectTo(bad.c_str(), (m_root / "copy").c_str(), "", "", true, true),
            Hvd::kInvalidParameter);
  EXPECT_EQ(Copies()->CopyProject((m_root / "copy/q.xhlc").c_str(), 0x146, "", "a\x01", &name),
            Hvd::kInvalidParameter);
  EXPECT_FALSE(fs::exists(m_root / "copy"));
  std::size_t named = 0;
  for (const auto& record : Port_MsgManData::Captured())
    named += record.severity == Port_MsgManData::Severity::Error && record.text.find("q\\x1b.xhlc") != std::string::npos;
  EXPECT_EQ(named, 3u);
}

// A refused file fails the copy: the project file is not written and the new directory goes.
TEST_F(ProjectCopyTest, AFileThatCannotBeCopiedFailsTheCopy) {
  MakeProject();
  Port::FaultInjection::Fail("copy_p", 0, "sub/b.vhd");
  EXPECT_EQ(Copies()->SaveAs((m_root / "copy/q.xhlc").c_str()), Hvd::kDirectoryWriteFailed);
  EXPECT_FALSE(fs::exists(m_root / "copy"));

  Port::FaultInjection::Clear();
  Port::FaultInjection::Fail("copy_p", 0, "c.vhd");
  EXPECT_EQ(Copies()->CopyProjectTo("q.xhlc", (m_root / "copy").c_str(), "", "", true, true),
            Hvd::kDirectoryWriteFailed);
  EXPECT_TRUE(Said("An error occurred while copying the project to"));
  EXPECT_FALSE(fs::exists(m_root / "copy"));
  EXPECT_TRUE(Said("\"" + (m_root / "lib/c.vhd").string() + "\" could not be copied to \"" +
                   (m_root / "copy/remote_sources/_/lib/c.vhd").string() + "\": " + std::strerror(EIO)));
}

// A refused copy leaves nothing it made. A working directory the project's property refuses
// refuses it before its folder or its working folder is made, or a source copied into a folder
// the user made; a copy refused once its folder is made takes that folder back with those made
// on the way to it.
TEST_F(ProjectCopyTest, ARefusedCopyLeavesNothingItMade) {
  MakeProject();
  const fs::path mine = m_root / "mine";
  WriteText(mine / "keep.txt", "the user's");
  const fs::path deeper = m_root / "new/deeper";
  const Names before = Listing(m_root);
  const Text working = Hvd::PropertyAccessor(m_project.Get()).GetPropertyValue("PROP_WorkingDirectory");
  for (const auto& [into, workingDirectory] : {std::pair{mine, std::string("w\x1b" "d")},
                                               std::pair{deeper, (m_root / "w\x1b" "d").string()}}) {
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(Copies()->CopyProjectTo("q.xhlc", into.c_str(), workingDirectory.c_str(), "", true, true),
              Hvd::kInvalidParameter);
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "The PROP_WorkingDirectory value")) << workingDirectory;
    EXPECT_EQ(Listing(m_root), before) << workingDirectory;
    EXPECT_EQ(Hvd::PropertyAccessor(m_project.Get()).GetPropertyValue("PROP_WorkingDirectory"), working);
  }
  Port::FaultInjection::Fail("copy_p", 0, "a.vhd");
  EXPECT_EQ(Copies()->CopyProjectTo("q.xhlc", deeper.c_str(), "", "", true, true), Hvd::kDirectoryWriteFailed);
  EXPECT_EQ(Listing(m_root), before);
}

// A copy refused once it made its folder, by a source gone when the copy reaches it, takes back
// only the files it wrote, each while it is still the file written, and the folders it made
// while they hold nothing. What another puts in that folder meanwhile stays, and so does a file
// put in place of one the copy wrote, named; a folder the user makes at its name just before the
// copy would stays with the user's files; a link put in place of it stays, named, and of the
// user's folder it leads to only what the copy wrote through it goes. A save as goes the same way.
TEST_F(ProjectCopyTest, ARefusedCopyTakesBackOnlyWhatItWrote) {
  MakeProject();
  const fs::path copy = m_root / "copy";
  const fs::path mine = m_root / "mine";
  // `meanwhile` runs as the copy makes the folder `at`, after which `gone`, copied last (the
  // source outside the project for a copy, the project's own for a save as), is gone.
  const auto refuse = [&](const fs::path& at, const std::function<void()>& meanwhile, bool saveAs = false) {
    const fs::path gone = saveAs ? m_dir / "sub/b.vhd" : m_root / "lib/c.vhd";
    const std::string text = ReadText(gone);
    Port::FaultInjection::Act("mkdir", 1, at.string(), [&] {
      meanwhile();
      fs::remove(gone);
    });
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(saveAs ? Copies()->SaveAs((copy / "q.xhlc").c_str())
                     : Copies()->CopyProject((copy / "q.xhlc").c_str(), 0x1CE, "", "", nullptr),
              Hvd::kDirectoryWriteFailed);
    Port::FaultInjection::Clear();
    WriteText(gone, text);
  };
  const auto left = [](const fs::path& what) {
    return Captured(Port_MsgManData::Severity::Warning, "\"" + what.string() + "\" this command ");
  };

  refuse(copy / "sub", [&] {
    WriteText(copy / "theirs.txt", "another's");
    WriteText(m_root / "a.new", "another's");
    fs::rename(m_root / "a.new", copy / "a.vhd");
  });
  EXPECT_EQ(Listing(copy), (Names{"a.vhd", "theirs.txt"}));
  EXPECT_EQ(ReadText(copy / "a.vhd"), "another's");
  EXPECT_TRUE(left(copy / "a.vhd"));
  fs::remove_all(copy);

  refuse(copy, [&] { WriteText(copy / "keep.txt", "the user's"); });
  EXPECT_EQ(Listing(copy), Names{"keep.txt"});
  EXPECT_FALSE(Said("this command"));
  fs::remove_all(copy);

  WriteText(mine / "keep.txt", "the user's");
  refuse(copy / "sub", [&] {
    fs::remove_all(copy);
    fs::create_directory_symlink(mine, copy);
  });
  EXPECT_TRUE(fs::is_symlink(copy));
  EXPECT_EQ(Listing(mine), Names{"keep.txt"});
  EXPECT_TRUE(left(copy));
  fs::remove(copy);

  refuse(copy / "sub", [&] { WriteText(copy / "keep.txt", "another's"); }, true);
  EXPECT_EQ(Listing(copy), Names{"keep.txt"});
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning, "The folder \"" + copy.string() +
                                                               "\" this command made is left: it holds what this "
                                                               "command did not write there."));
  fs::remove_all(copy);

  // Into a folder that was there, it takes back what it wrote and the folders it made there, and
  // keeps all it held, a file it wrote over and a folder it copied into among them.
  for (const bool saveAs : {false, true}) {
    for (const char* name : {"a.vhd", "remote_sources/mine.txt"}) WriteText(copy / name, "the user's");
    refuse(copy / "sub", [] {}, saveAs);
    EXPECT_EQ(Listing(copy), (Names{"a.vhd", "remote_sources", "remote_sources/mine.txt"})) << saveAs;
    fs::remove_all(copy);
  }

  // Refused by the partitions file, written after the project and generated files, it takes
  // those back as well, in a folder that was there too.
  WriteText(m_dir / "p.hdp", "partitions");
  Port::FaultInjection::Fail("copy_p", 0, "q.hdp");
  EXPECT_EQ(Copies()->CopyProject((copy / "q.xhlc").c_str(), 0x1CE, "", "", nullptr), Hvd::kDirectoryWriteFailed);
  EXPECT_FALSE(fs::exists(copy));
  WriteText(copy / "keep.txt", "the user's");
  EXPECT_EQ(Copies()->CopyProject((copy / "q.xhlc").c_str(), 0x1CE, "", "", nullptr), Hvd::kDirectoryWriteFailed);
  EXPECT_EQ(Listing(copy), Names{"keep.txt"});
}

// A refused copy or save-as puts back what it wrote over: links to the user's file and folder, a
// file of the user's; one it cannot put back is named. Kept, a copy leaves nothing aside.
TEST_F(ProjectCopyTest, ARefusedCopyPutsBackWhatItWroteOver) {
  MakeProject();
  WriteText(m_dir / "p.hdp", "partitions");  // its copy, the last write, is refused
  const fs::path copy = m_root / "copy";
  const fs::path mine = m_root / "mine";
  WriteText(mine / "a.txt", "the user's");
  const auto into = [&](bool saveAs) {
    fs::remove_all(copy);
    fs::create_directories(copy);
    fs::create_symlink(mine / "a.txt", copy / "a.vhd");
    fs::create_directory_symlink(mine, copy / "sub");
    WriteText(copy / "q.xhlc", "the user's");
    return saveAs ? Copies()->SaveAs((copy / "q.xhlc").c_str())
                  : Copies()->CopyProject((copy / "q.xhlc").c_str(), 0x1CE, "", "", nullptr);
  };
  const std::string sub = (copy / "sub").string();
  for (const bool saveAs : {false, true}) {
    Port::FaultInjection::Fail("copy_p", 0, "q.hdp");
    // Another's folder at "sub" by the time the save-as puts its link back.
    if (saveAs) Port::FaultInjection::Act("rmdir", 1, sub, [&] { WriteText(copy / "sub/x", ""); });
    EXPECT_EQ(into(saveAs), Hvd::kDirectoryWriteFailed);
    Port::FaultInjection::Clear();
    EXPECT_TRUE(Said("\"" + (copy / "q.hdp").string() + "\": " + std::strerror(EIO) + "."));
    EXPECT_EQ(fs::read_symlink(copy / "a.vhd"), mine / "a.txt") << saveAs;
    EXPECT_EQ(ReadText(copy / "q.xhlc"), "the user's") << saveAs;
    if (!saveAs) { EXPECT_EQ(fs::read_symlink(copy / "sub"), mine); }
  }
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning, "What was at \"" + sub +
                                                               "\" could not be put back: " + std::strerror(EEXIST) +
                                                               ". It is kept as \"" + sub + ".aside-"));
  ASSERT_EQ(into(false), Hvd::kSuccess);
  for (const std::string& name : Listing(copy)) EXPECT_EQ(name.find(".aside-"), std::string::npos) << name;
}

// The zip holds exactly what the archive policy names, under names that no shell or option
// parser may read, and it tests sound.
TEST_F(ProjectCopyTest, ArchiveHoldsWhatThePolicyNames) {
  MakeProject();
  for (const char* name : {"sp ace.vhd", "br[ack]et.vhd", "dol$lar.vhd", "qu'o\"te.vhd", "-dash.vhd"})
    Add(m_dir / "odd" / name);
  WriteText(m_dir / "notes.txt", "kept by the walk\n");
  WriteText(m_dir / "sub/deeper/readme.txt", "beside a source, kept by the walk\n");
  WriteText(m_dir / "snapshots/s1/s1.snp", "left out\n");
  WriteText(m_dir / "tmp/junk.txt", "left out\n");
  // A list of files beside the project: each goes along.
  WriteText(m_root / "inc/one.vh", "1");
  WriteText(m_root / "inc/two.vh", "2");
  Hvd::PropertyAccessor(m_project.Get())
      .SetPropertyValue("PROP_TralorSearchPathForSource", (m_root / "inc/one.vh").string() + "|" +
                                                              (m_root / "inc/two.vh").string());
  ASSERT_EQ(m_project->Save(), Hvd::kSuccess);

  const fs::path archive = m_root / "out/-my $archive [1] 'q\".zip";
  Text remoteSources;
  ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), &remoteSources), Hvd::kSuccess);
  EXPECT_EQ(remoteSources.str(), "remote_sources");
  ASSERT_TRUE(fs::is_regular_file(archive));
  EXPECT_TRUE(Said("Project Archive - Archive complete: "));
  EXPECT_FALSE(fs::exists(m_dir / "tmp") && Tree(m_dir / "tmp") != Names{"junk.txt"});

  fs::copy_file(archive, m_root / "listing.zip");
  int status = -1;
  const std::string listing = RunCommand("unzip -Z1 " + (m_root / "listing.zip").string(), &status);
  ASSERT_EQ(status, 0);
  Names zipped;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty() && line.back() != '/') zipped.insert(line);
  Names expected = Tree(m_dir, {"tmp", "snapshots"});
  for (const char* more : {"remote_sources/_/lib/c.vhd", "remote_sources/_/inc/one.vh", "remote_sources/_/inc/two.vh"})
    expected.insert(more);
  EXPECT_EQ(zipped, expected);
  RunCommand("unzip -tq " + (m_root / "listing.zip").string(), &status);
  EXPECT_EQ(status, 0);
}

// The project's own files are zipped from where they are; what a list of names cannot carry,
// links and files with companions go through the copy, links as links. Either way the archive unpacks to what
// the policy names, each file once, with what the project holds.
TEST_F(ProjectCopyTest, ArchiveUnpacksToWhatThePolicyNamesWhateverTheNames) {
  MakeProject();
  WriteText(m_dir / "odd\ndir/x.txt", "a line break in a directory name\n");
  WriteText(m_dir / "sub/new\nline.txt", "and in a file name\n");
  WriteText(m_dir / "a.sym", "beside a source\n");
  fs::create_symlink("a.vhd", m_dir / "link.vhd");
  WriteText(m_dir / "sub/deeper/snapshots/s.txt", "left out by the tree walk\n");
  WriteText(m_dir / "sub/deeper/p_qdb/q.txt", "left out by the tree walk\n");
  fs::create_directories(m_dir / "empty");
  ASSERT_EQ(m_project->Save(), Hvd::kSuccess);

  const fs::path archive = m_root / "out/p.zip";
  ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(m_dir / "tmp"));
  const fs::path unpacked = m_root / "unpacked";
  fs::create_directories(unpacked);
  Port::Process unzip;
  unzip.SetWorkingDirectory(unpacked.c_str());
  // Control characters in names are kept as they are.
  ASSERT_EQ(unzip.Run({"unzip", "-q", "-^", archive.c_str()}), 0);
  EXPECT_TRUE(fs::is_symlink(m_dir / "link.vhd")) << "the project's own link stays";
  Names expected = Tree(m_dir, {"tmp", "snapshots", "p_qdb"});
  expected.insert("remote_sources/_/lib/c.vhd");
  EXPECT_EQ(Tree(unpacked), expected);
  // The link is archived as the link, naming what it named.
  EXPECT_TRUE(fs::is_symlink(unpacked / "link.vhd"));
  EXPECT_EQ(fs::read_symlink(unpacked / "link.vhd"), "a.vhd");
  EXPECT_TRUE(fs::is_directory(unpacked / "empty"));
  EXPECT_EQ(ReadText(unpacked / "odd\ndir/x.txt"), "a line break in a directory name\n");
  EXPECT_EQ(ReadText(unpacked / "link.vhd"), ReadText(m_dir / "a.vhd"));
  // The project file in the archive is the one written for it, naming the outside file's copy.
  EXPECT_NE(ReadText(unpacked / "p.xhlc").find("remote_sources/_/lib/c.vhd"), std::string::npos);
}

// Links are archived as links: one that leads back up the tree is not followed round, one to
// a folder outside brings none of its files, one that leads nowhere is kept as it is. A FIFO
// stays out with a warning; the rest is archived and no temporary copy stays behind.
TEST_F(ProjectCopyTest, ArchiveStoresLinksAsLinksAndLeavesOutFifos) {
  MakeProject();
  WriteText(m_root / "shared/s.vhd", "outside\n");
  fs::create_directory_symlink(".", m_dir / "x");
  fs::create_directory_symlink("..", m_dir / "sub/up");
  fs::create_directory_symlink("../shared", m_dir / "ip");
  fs::create_symlink("nowhere", m_dir / "dangling");
  fs::create_symlink("loop2", m_dir / "loop1");
  fs::create_symlink("loop1", m_dir / "loop2");
  ASSERT_EQ(::mkfifo((m_dir / "pipe").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((m_dir / "sub/pipe").c_str(), 0600), 0);
  const fs::path archive = m_root / "out/p.zip";
  ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(m_dir / "tmp"));
  EXPECT_TRUE(Said("/pipe> is not a regular file and is left out of the copy."));
  const fs::path unpacked = m_root / "unpacked";
  fs::create_directories(unpacked);
  Port::Process unzip;
  unzip.SetWorkingDirectory(unpacked.c_str());
  ASSERT_EQ(unzip.Run({"unzip", "-q", archive.c_str()}), 0);
  for (const auto& [link, target] : {std::pair{"x", "."}, {"sub/up", ".."}, {"ip", "../shared"},
                                     {"dangling", "nowhere"}, {"loop1", "loop2"}, {"loop2", "loop1"}}) {
    EXPECT_TRUE(fs::is_symlink(unpacked / link)) << link;
    EXPECT_EQ(fs::read_symlink(unpacked / link), target) << link;
  }
  Names files;
  for (const auto& entry : fs::recursive_directory_iterator(unpacked))
    if (entry.symlink_status().type() == fs::file_type::regular) files.insert(fs::relative(entry, unpacked).string());
  EXPECT_EQ(files, (Names{"a.vhd", "p.ghlc", "p.xhlc", "sub/b.vhd", "remote_sources/_/lib/c.vhd"}));
}

// A copy writes only inside its destination: links already there, at the remote-sources
// directory, on the way to a source's place, at a source's place and at the project and
// generated files' names, are replaced, and what they lead to stays as it was.
TEST_F(ProjectCopyTest, CopiesReplaceLinksInTheDestinationAndNeverWriteThroughThem) {
  MakeProject();
  const fs::path victim = m_root / "victim";
  for (const char* name : {"top.vhd", "q.xhlc", "q.ghlc", "sub/b.vhd", "_/lib/c.vhd"}) WriteText(victim / name, "mine");
  const fs::path copy = m_root / "copy";
  fs::create_directories(copy);
  fs::create_directory_symlink(victim, copy / "remote_sources");
  fs::create_directory_symlink(victim / "sub", copy / "sub");
  fs::create_symlink(victim / "top.vhd", copy / "a.vhd");
  fs::create_symlink(victim / "q.xhlc", copy / "q.xhlc");
  fs::create_symlink(victim / "q.ghlc", copy / "q.ghlc");
  Text name;
  ASSERT_EQ(Copies()->CopyProject((copy / "q.xhlc").c_str(), 0x146, "", "", &name), Hvd::kSuccess);
  EXPECT_EQ(Tree(victim), (Names{"top.vhd", "q.xhlc", "q.ghlc", "sub/b.vhd", "_/lib/c.vhd"}));
  for (const char* name : {"top.vhd", "q.xhlc", "q.ghlc", "sub/b.vhd", "_/lib/c.vhd"})
    EXPECT_EQ(ReadText(victim / name), "mine") << name;
  for (const char* name : {"remote_sources", "sub", "a.vhd", "q.xhlc", "q.ghlc"})
    EXPECT_FALSE(fs::is_symlink(copy / name)) << name;
  EXPECT_EQ(Tree(copy), (Names{"a.vhd", "q.ghlc", "q.xhlc", "sub/b.vhd", "remote_sources/_/lib/c.vhd"}));
  EXPECT_EQ(ReadText(copy / "sub/b.vhd"), "entity e is end;\n");

  // Save as, into the project's own directory under another name: only the written names.
  fs::create_symlink(victim / "q.xhlc", m_dir / "r.xhlc");
  ASSERT_EQ(Copies()->SaveAs((m_dir / "r.xhlc").c_str()), Hvd::kSuccess);
  EXPECT_FALSE(fs::is_symlink(m_dir / "r.xhlc"));
  EXPECT_EQ(ReadText(victim / "q.xhlc"), "mine");
}

// With the working directory below the project directory the temporary tree lies inside what
// is archived: the archive never holds any of it.
TEST_F(ProjectCopyTest, ArchiveLeavesOutItsOwnTemporaryTree) {
  MakeProject();
  WriteText(m_dir / "work/w.txt", "in the working directory\n");
  ASSERT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->ChangeWorkingDirectory((m_dir / "work").c_str(), true, false),
            Hvd::kSuccess);
  const fs::path archive = m_root / "out/p.zip";
  ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(m_dir / "work/tmp") && !fs::is_empty(m_dir / "work/tmp"));
  const fs::path unpacked = m_root / "unpacked";
  fs::create_directories(unpacked);
  Port::Process unzip;
  unzip.SetWorkingDirectory(unpacked.c_str());
  ASSERT_EQ(unzip.Run({"unzip", "-q", archive.c_str()}), 0);
  // The walk is of the working directory now, where the generated file went.
  EXPECT_EQ(Tree(unpacked), (Names{"a.vhd", "p.xhlc", "sub/b.vhd", "work/p.ghlc", "work/w.txt",
                                   "remote_sources/_/lib/c.vhd"}));
}

// The archive's entries, directories and links among them, each once: the project's folders and
// files, remote sources, links as links and no FIFO; with the working directory below the
// project, that directory's files and the generated file written for the copy. The project file
// is the copy's own.
TEST_F(ProjectCopyTest, ArchiveEntriesAreEachOnceAndTheCopysOwnFilesWin) {
  MakeProject();
  WriteText(m_dir / "sub/deeper/readme.txt", "kept by the walk\n");
  WriteText(m_dir / "work/w.txt", "in the working directory\n");
  fs::create_directories(m_dir / "empty");
  fs::create_symlink("a.vhd", m_dir / "link.vhd");
  fs::create_directory_symlink("sub", m_dir / "sublink");
  ASSERT_EQ(::mkfifo((m_dir / "pipe").c_str(), 0600), 0);
  const auto entries = [&](const fs::path& archive) {
    std::multiset<std::string> names;
    int status = -1;
    std::istringstream lines(RunCommand("unzip -Z1 " + archive.string(), &status));
    EXPECT_EQ(status, 0);
    for (std::string line; std::getline(lines, line);)
      if (!line.empty()) names.insert(line);
    return names;
  };
  const std::multiset<std::string> remote{"remote_sources/", "remote_sources/_/", "remote_sources/_/lib/",
                                          "remote_sources/_/lib/c.vhd"};

  const fs::path archive = m_root / "out/p.zip";
  ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  std::multiset<std::string> expected{"a.vhd",     "empty/",       "link.vhd", "p.ghlc", "p.xhlc",
                                      "sub/",      "sub/b.vhd",    "sub/deeper/", "sub/deeper/readme.txt",
                                      "sublink",   "work/",        "work/w.txt"};
  expected.insert(remote.begin(), remote.end());
  EXPECT_EQ(entries(archive), expected);
  int status = -1;
  const std::string project = RunCommand("unzip -p " + archive.string() + " p.xhlc", &status);
  EXPECT_NE(project.find("remote_sources/_/lib/c.vhd"), std::string::npos);
  EXPECT_NE(project, ReadText(m_file));

  ASSERT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->ChangeWorkingDirectory((m_dir / "work").c_str(), true, false),
            Hvd::kSuccess);
  ASSERT_EQ(m_project->Save(), Hvd::kSuccess);
  ASSERT_TRUE(fs::exists(m_dir / "work/p.ghlc"));
  const fs::path second = m_root / "out/q.zip";
  ASSERT_EQ(Copies()->SaveAsArchive(second.c_str(), nullptr), Hvd::kSuccess);
  expected = {"a.vhd", "p.xhlc", "sub/", "sub/b.vhd", "work/", "work/p.ghlc", "work/w.txt"};
  expected.insert(remote.begin(), remote.end());
  EXPECT_EQ(entries(second), expected);
}

// A project large enough for its own files to be zipped in several runs, read folder by
// folder with files reached through a linked folder between them: each file and each folder
// on the way is in the archive once, and the archive unpacks to the project's tree.
TEST_F(ProjectCopyTest, ALargeProjectsArchiveHoldsEachFileOnce) {
  std::ostringstream listed;
  listed << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
            "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n"
            "  <header/>\n  <version vel_kv:hlc_version=\"14.1\" vel_kv:schema_version=\"2\"/>\n  <files>\n";
  const auto list = [&](const std::string& name) {
    listed << "    <file vel_kv:name=\"" << name << "\" vel_kv:type=\"FILE_VHDL\"/>\n";
  };
  for (int i = 0; i < 2100; ++i) {
    const std::string name = "src/d" + std::to_string(i / 300) + "/u" + std::to_string(i) + ".vhd";
    WriteText(m_dir / name, "entity u" + std::to_string(i) + " is end;\n");
    list(name);
    if (i % 700 == 0) list("alias/u" + std::to_string(i / 7) + ".vhd");  // in src/d0 too
  }
  fs::create_directory_symlink("src/d0", m_dir / "alias");
  listed << "  </files>\n  <properties/>\n</project>\n";
  WriteText(m_file, listed.str());
  OpenProject();
  const fs::path archive = m_root / "out/p.zip";
  ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  int status = -1;
  std::istringstream lines(RunCommand("unzip -Z1 " + archive.string(), &status));
  ASSERT_EQ(status, 0);
  std::multiset<std::string> entries;
  for (std::string line; std::getline(lines, line);) entries.insert(line);
  EXPECT_EQ(entries.count("src/"), 1u);
  for (const char* throughLink : {"alias/u0.vhd", "alias/u100.vhd", "alias/u200.vhd"})
    EXPECT_EQ(entries.count(throughLink), 1u) << throughLink;
  for (int i = 0; i < 2100; i += 7) {
    EXPECT_EQ(entries.count("src/d" + std::to_string(i / 300) + "/u" + std::to_string(i) + ".vhd"), 1u) << i;
    EXPECT_EQ(entries.count("src/d" + std::to_string(i / 300) + "/"), 1u) << i;
  }
  const fs::path unpacked = m_root / "unpacked";
  fs::create_directories(unpacked);
  Port::Process unzip;
  unzip.SetWorkingDirectory(unpacked.c_str());
  ASSERT_EQ(unzip.Run({"unzip", "-q", archive.c_str()}), 0);
  EXPECT_EQ(Tree(unpacked, {"alias"}), Tree(m_dir, {"alias", "tmp"}));
}

// The working directory "." names the project's own folder, which the archive walks anyway:
// it is no file to bring along and draws no warning about its name in the copy.
TEST_F(ProjectCopyTest, TheProjectsOwnFolderIsNoFileToBringAlong) {
  MakeProject();
  Port_MsgManData::ClearCaptured();
  const fs::path archive = m_root / "out/p.zip";
  ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  EXPECT_FALSE(Said("Couldn't get the Mapped File Name"));
  const fs::path unpacked = m_root / "unpacked";
  fs::create_directories(unpacked);
  Port::Process unzip;
  unzip.SetWorkingDirectory(unpacked.c_str());
  ASSERT_EQ(unzip.Run({"unzip", "-q", archive.c_str()}), 0);
  EXPECT_EQ(Tree(unpacked), (Names{"a.vhd", "p.xhlc", "p.ghlc", "sub/b.vhd", "remote_sources/_/lib/c.vhd"}));
}

// Archives at once share the working directory's "tmp": the one that made it may end first,
// and the last one out takes it away. One that another archive still works in stays, and so
// does a "tmp" that no archive made.
TEST_F(ProjectCopyTest, ArchivesAtOnceLeaveNoTmpBehind) {
  MakeProject();
  const fs::path archive = m_root / "out/p.zip";
  const fs::path tmp = m_dir / "tmp";
  // As an archive that made it leaves it when it ends while this one works.
  WriteText(tmp / ".made_by_archive", "");
  ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(tmp));

  WriteText(tmp / ".made_by_archive", "");
  WriteText(tmp / "other" / "x.txt", "another archive's");
  {
    Hvd::DirectoryLock other;
    ASSERT_TRUE(other.Take(tmp.string(), false, true));
    ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  }
  EXPECT_EQ(ReadText(tmp / "other" / "x.txt"), "another archive's");

  // One that no archive marked stays while it holds anything; empty, as an archive killed while
  // it took "tmp" away leaves it, it would keep later archives from recording their folders, and
  // goes.
  fs::remove_all(tmp);
  WriteText(tmp / "notes.txt", "mine");
  ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  EXPECT_EQ(ReadText(tmp / "notes.txt"), "mine");
  EXPECT_FALSE(fs::exists(tmp / ".made_by_archive"));
  fs::remove(tmp / "notes.txt");
  ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(tmp));
}

// A working directory that cannot take "tmp" (no permission, a read-only file system) is named
// with the system's reason, not as a "tmp" that is no folder of the project.
TEST_F(ProjectCopyTest, ATmpThatCannotBeMadeIsNamedWithTheReason) {
  MakeProject();
  const fs::path archive = m_root / "out/p.zip";
  Port::FaultInjection::Scope faults;
  Port::FaultInjection::Fail("mkdir", 0, (m_dir / "tmp").string());
  Port_MsgManData::ClearCaptured();
  EXPECT_NE(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "The folder \"" + (m_dir / "tmp").string() +
                                                             "\" cannot be made: " + std::strerror(EIO)));
  EXPECT_FALSE(fs::exists(archive));
}

// Anyone who can read the project's folder or its "tmp" can hold their locks, a stopped shell
// among them: an archive waits for them only so long, then fails naming the folder.
TEST_F(ProjectCopyTest, AnArchiveWaitsForAHeldFolderOnlySoLong) {
  MakeProject();
  const fs::path archive = m_root / "out/p.zip";
  fs::create_directories(m_dir / "tmp");
  for (const fs::path& busy : {m_dir, m_dir / "tmp"}) {
    Hvd::DirectoryLock other;
    ASSERT_TRUE(other.Take(busy.string(), false));
    Port_MsgManData::ClearCaptured();
    auto made = std::async(std::launch::async, [&] { return Copies()->SaveAsArchive(archive.c_str(), nullptr); });
    const bool ended =
        made.wait_for(Hvd::DirectoryLock::kWaitBound + std::chrono::seconds(20)) == std::future_status::ready;
    other.Release();  // lets an archive that waits without end finish
    EXPECT_TRUE(ended) << busy << ": the archive waited for the lock without end";
    EXPECT_EQ(made.get(), Hvd::kFailure) << busy;
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "The folder \"" + busy.string() + "\" is busy")) << busy;
    EXPECT_FALSE(fs::exists(archive)) << busy;
  }
  EXPECT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
}

// An archive killed on the way leaves its copy in "tmp"; the next archive that finds no other at
// work there takes it away, and "tmp" with it. What another archive under way may own stays.
TEST_F(ProjectCopyTest, TheNextArchiveTakesAwayWhatAKilledOneLeft) {
  MakeProject();
  const fs::path archive = m_root / "out/p.zip";
  const fs::path tmp = m_dir / "tmp";
  const auto killedArchive = [&] {
    const pid_t child = ::fork();
    if (child == 0) {
      Port::FaultInjection::Exit("copy_p", 1, "c.vhd");
      ::_exit(Copies()->SaveAsArchive(archive.c_str(), nullptr) == Hvd::kSuccess ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == Port::FaultInjection::kExitStatus);
  };
  const auto entries = [&tmp] {
    return std::distance(fs::directory_iterator(tmp), fs::directory_iterator());
  };
  killedArchive();
  ASSERT_GT(entries(), 1) << "the killed archive left its copy";
  {
    Hvd::DirectoryLock another;  // an archive under way
    ASSERT_TRUE(another.Take(tmp.string(), false, true));
    ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
    EXPECT_GT(entries(), 1);
  }
  ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(tmp));

  // A file that is none of an archive's stays, and so does "tmp" around it.
  killedArchive();
  WriteText(tmp / "notes.txt", "mine");
  ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  EXPECT_EQ(Tree(tmp), (Names{".made_by_archive", "notes.txt"}));
}

// A folder the user makes at the name of a killed archive's folder in "tmp", after taking that
// one away by hand, is the user's even where the file system gives it the freed inode: the next
// archive leaves it, named. An empty "tmp" that an archive killed as it took "tmp" away left
// without its mark goes with the next archive, which then leaves nothing behind.
TEST_F(ProjectCopyTest, AnArchiveTakesAwayOnlyWhatProvesItselfItsOwnOrHoldsNothing) {
  MakeProject();
  const fs::path archive = m_root / "out/p.zip";
  const fs::path tmp = m_dir / "tmp";
  KillArchiveAt(archive, "copy_p", 1, "c.vhd");
  fs::path own;
  for (const fs::directory_entry& entry : fs::directory_iterator(tmp))
    if (entry.is_directory()) own = entry.path();
  ASSERT_FALSE(own.empty());
  std::ignore = RemadeWithItsInode(own);
  Port_MsgManData::ClearCaptured();
  ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  EXPECT_EQ(ReadText(own / "notes.txt"), "the user's");
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning, "\"" + own.string() + "\" is left as it is"));

  fs::remove_all(tmp);
  bool left = false;
  for (int nth = 1; nth < 100 && !left; ++nth) {
    fs::remove_all(tmp);
    if (!ArchiveKilledAt(archive, "rmdir", nth, tmp.string())) break;
    left = fs::is_directory(tmp) && fs::is_empty(tmp);
  }
  ASSERT_TRUE(left) << "no kill left an empty, unmarked \"tmp\"";
  ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(tmp));
}

// Files a user keeps in a "tmp" that a killed archive left are the user's, whatever their
// names: the next archive takes away only the folder the killed one recorded as its own, and
// names what looks like an archive's but was not recorded. The same holds in the "tmp" of a
// working directory outside the project.
TEST_F(ProjectCopyTest, UserFilesInAnArchivesTmpStayWhateverTheirNames) {
  MakeProject();
  const fs::path archive = m_root / "out/p.zip";
  const fs::path outside = m_root / "outside";
  fs::create_directories(outside);
  for (const fs::path& working : {m_dir, outside}) {
    if (working != m_dir) {
      ASSERT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->ChangeWorkingDirectory(working.c_str(), true, false),
                Hvd::kSuccess);
    }
    const fs::path tmp = working / "tmp";
    KillArchiveAt(archive, "copy_p", 1, "c.vhd");
    ASSERT_TRUE(fs::is_regular_file(tmp / ".made_by_archive")) << working;
    const Names killed = Tree(tmp);
    ASSERT_GT(killed.size(), 1u) << working;
    const Names mine = {"tmp2023report", "zi123456", "zipcodes", "tmpABCDEFGHIJ/notes.txt", "notes.txt"};
    for (const std::string& name : mine) WriteText(tmp / name, "mine");
    // A record naming a folder of the user's, which is not the folder it records.
    WriteText(tmp / "planted" / "notes.txt", "mine");
    std::ofstream(tmp / ".made_by_archive", std::ios::app) << "planted 0123456789abcdef0123456789abcdef\n";
    Port_MsgManData::ClearCaptured();
    ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess) << working;
    Names left = mine;
    left.insert({".made_by_archive", "planted/notes.txt"});
    EXPECT_EQ(Tree(tmp), left) << working;
    for (const std::string& name : mine) EXPECT_EQ(ReadText(tmp / name), "mine") << name;
    for (const char* named : {"tmp2023report", "zi123456", "zipcodes", "tmpABCDEFGHIJ", "planted"})
      EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning, "\"" + (tmp / named).string() + "\" is left as it is"))
          << named;
    EXPECT_FALSE(Said("\"" + (tmp / "notes.txt").string() + "\" is left as it is"));
  }
  // A mark that is a second name of a file elsewhere is none an archive wrote: that file is
  // neither rewritten nor added to.
  const fs::path tmp = outside / "tmp";
  const fs::path elsewhere = m_root / "elsewhere.txt";
  WriteText(elsewhere, "theirs\n");
  fs::remove(tmp / ".made_by_archive");
  fs::create_hard_link(elsewhere, tmp / ".made_by_archive");
  ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  EXPECT_EQ(ReadText(elsewhere), "theirs\n");
}

// Killed while the list of names for zip or the joined zip is being renamed into place, an
// archive leaves the atomic writer's temporaries in its own folder: the next archive that finds
// no other at work takes that folder away, and "tmp" with it.
TEST_F(ProjectCopyTest, TheNextArchiveTakesAwayAKilledOnesTemporariesAndNothingNamedLikeThem) {
  MakeProject();
  const fs::path archive = m_root / "out/p.zip";
  const fs::path tmp = m_dir / "tmp";
  for (const char* renamed : {".zip.names", ".joined.zip"}) {
    KillArchiveAt(archive, "rename", 1, renamed);
    bool temporary = false;
    for (auto at = fs::recursive_directory_iterator(tmp); at != fs::recursive_directory_iterator(); ++at)
      temporary = temporary || at->path().filename().string().rfind(".hvd.", 0) == 0;
    ASSERT_TRUE(temporary) << renamed;
    ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess) << renamed;
    EXPECT_FALSE(fs::exists(tmp)) << renamed;
  }

  // Named like a writer's temporary in "tmp" itself, but recorded by no archive: the name proves
  // nothing, whether a writer holds it or not, so it stays and a warning names it.
  const fs::path left = tmp / ".hvd.0123456789abcdef.ABCDefgh";
  const fs::path held = tmp / ".hvd.fedcba9876543210.ABCDefgh";
  WriteText(tmp / ".made_by_archive", "");
  WriteText(left, "a dead writer's, or anyone's");
  WriteText(held, "a living writer's");
  const int fd = ::open(held.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  Port_MsgManData::ClearCaptured();
  ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  EXPECT_EQ(ReadText(left), "a dead writer's, or anyone's");
  EXPECT_EQ(ReadText(held), "a living writer's");
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning, left.string()));
  ::close(fd);
}

// The archive's temporary tree is zipped and removed, so nothing written there is flushed to
// the disk; the project's own save still is. With every flush failing, the archive is made
// from the project as it stands, while its project file on the disk keeps what it held.
TEST_F(ProjectCopyTest, TheArchivesTemporaryTreeIsNotFlushedButTheProjectsSaveIs) {
  MakeProject();
  ASSERT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->SetSaveDelay(-1), Hvd::kSuccess);
  const std::string saved = ReadText(m_file);
  Add(m_dir / "later.vhd");
  ASSERT_EQ(ReadText(m_file), saved);
  Port::FaultInjection::Fail("fsync");
  const fs::path archive = m_root / "out/p.zip";
  ASSERT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  EXPECT_EQ(ReadText(m_file), saved);
  EXPECT_FALSE(fs::exists(m_dir / "tmp"));
  int status = -1;
  const std::string project = RunCommand("unzip -p " + archive.string() + " p.xhlc", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(project.find("later.vhd"), std::string::npos);
  EXPECT_NE(RunCommand("unzip -Z1 " + archive.string(), &status).find("later.vhd\n"), std::string::npos);
}

// A listed source that is gone, in the project or beside it, fails the save as and the archive
// with an error that names it as it is; nothing says the archive was made.
TEST_F(ProjectCopyTest, AGoneSourceFailsTheCopyNamingIt) {
  MakeProject();
  const fs::path archive = m_root / "out/p.zip";
  for (const fs::path& gone : {m_dir / "sub/b.vhd", m_root / "lib/c.vhd"}) {
    const std::string text = ReadText(gone);
    fs::remove(gone);
    const std::string error = "The source file \"" + gone.string() + "\" of the project does not exist.";
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(Copies()->CopyProject((m_root / "copy/q.xhlc").c_str(), 0x1CE, "", "", nullptr),
              Hvd::kDirectoryWriteFailed);
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, error)) << gone;
    EXPECT_FALSE(fs::exists(m_root / "copy/q.xhlc"));
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kDirectoryWriteFailed);
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, error)) << gone;
    EXPECT_FALSE(Said("Archive complete"));
    EXPECT_FALSE(fs::exists(archive));
    for (const auto& record : Port_MsgManData::Captured()) EXPECT_EQ(record.text.find("//"), std::string::npos);
    WriteText(gone, text);
  }
  EXPECT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  EXPECT_TRUE(Said("Archive complete: " + archive.string()));
}

TEST_F(ProjectCopyTest, AFailedArchiveCleansUpAndSaysSo) {
  MakeProject();
  Port::FaultInjection::Fail("copy_p", 0, "a.vhd");
  const fs::path archive = m_root / "out/p.zip";
  EXPECT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kDirectoryWriteFailed);
  EXPECT_FALSE(fs::exists(archive));
  EXPECT_FALSE(fs::exists(m_dir / "tmp"));
  EXPECT_TRUE(Said("Project Archive - Deleting temporary files and directories.\n"));
  EXPECT_FALSE(Said("Project Archive - Archive complete: "));
}

// A zip that fails, after the project's own files were handed to the zips run beside the copy,
// leaves nothing of the archive in "tmp", and no "tmp" it made.
TEST_F(ProjectCopyTest, AFailedZipLeavesNoTmpBehind) {
  MakeProject();
  const fs::path archive = m_root / "out/p.zip";
  Port::FaultInjection::Fail("Run", 0, "zip");
  EXPECT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kZipNotFound);
  EXPECT_FALSE(fs::exists(archive));
  EXPECT_EQ(Tree(m_dir / "tmp"), Names{});
  EXPECT_FALSE(fs::exists(m_dir / "tmp"));
  Port::FaultInjection::Clear();
  EXPECT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(m_dir / "tmp"));
}

// A macro directory inside the project keeps its place in the copy's macro path; an unreadable
// entry is a failed item, never an exception.
TEST_F(ProjectCopyTest, MacroDirectoriesFollowTheCopy) {
  MakeProject();
  WriteText(m_dir / "macros/m1.ngc", "m");
  WriteText(m_root / "shared/m2.ngc", "m");
  Hvd::PropertyAccessor(m_project.Get())
      .SetPropertyValue("PROP_velmTrnbldMacro", (m_dir / "macros").string() + "|" + (m_root / "shared").string());
  Text name;
  ASSERT_EQ(Copies()->CopyProject((m_root / "copy/q.xhlc").c_str(), 0x1CE, "", "", &name), Hvd::kSuccess);
  EXPECT_TRUE(fs::exists(m_root / "copy/macros/m1.ngc"));
  EXPECT_TRUE(fs::exists(m_root / "copy/remote_sources/_/shared/m2.ngc"));
  const std::string written = ReadText(m_root / "copy/q.xhlc");
  EXPECT_NE(written.find("vel_kv:value=\"macros|remote_sources/_/shared\""), std::string::npos) << written;
  // The project's own value is as it was.
  EXPECT_EQ(Property("PROP_velmTrnbldMacro"), (m_dir / "macros").string() + "|" + (m_root / "shared").string());

  Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_SynthConstraintsFile", std::string(300, 'n') + ".ucf");
  EXPECT_EQ(Copies()->SaveAs((m_root / "copy3/q.xhlc").c_str()), Hvd::kSuccess);
}

// The policy's refusals come before anything is handed over; extra flag bits are ignored.
TEST_F(ProjectCopyTest, TheBundleCopyChecksItsInputsFirst) {
  MakeProject();
  Hvd::CFileMapHelper map;
  AutoRelease<Hvd::IProjectBundle> bundle = CopyBundle(map);
  ASSERT_TRUE(bundle);
  Text macro("stale");
  bool remote = true;
  EXPECT_EQ(Hvd::FileUtils::AddProjectContentsToBundle(nullptr, 0x106, &map, bundle.Get(), macro, &remote),
            Hvd::kInvalidParameter);
  EXPECT_TRUE(macro.empty() && !remote);

  // Flags 512 are flags 0: only companions, and the outside source still counts as remote.
  EXPECT_EQ(Hvd::FileUtils::AddProjectContentsToBundle(m_project.Get(), 512, &map, bundle.Get(), macro, &remote),
            Hvd::kSuccess);
  EXPECT_TRUE(Said("Invalid fields found in _nFlags <512>"));
  EXPECT_TRUE(remote);
  EXPECT_EQ(Tree(m_root / "copy"), Names{});

  ASSERT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  EXPECT_EQ(Hvd::FileUtils::AddProjectContentsToBundle(m_project.Get(), 0x106, &map, bundle.Get(), macro, &remote),
            Hvd::kProjectNotOpen);
  EXPECT_FALSE(remote);
  std::ignore = bundle->Close(false);
}

// A design's "vmp" source brings its whole folder along, from inside the project as from outside.
TEST_F(ProjectCopyTest, AVmpSourceBringsItsFolder) {
  OpenProject();
  Add(m_dir / "a.vhd");
  Add(m_dir / "nbt/core.vmp", "core");
  WriteText(m_dir / "nbt/core.dat", "beside it");
  Add(m_root / "remote/r.vmp", "remote");
  WriteText(m_root / "remote/r.dat", "beside it");
  WriteText(m_root / "remote/sub/deep.dat", "below it");
  ASSERT_EQ(m_project->Save(), Hvd::kSuccess);
  Port_MsgManData::ClearCaptured();
  Text name;
  ASSERT_EQ(Copies()->CopyProject((m_root / "copy/q.xhlc").c_str(), 0x42, "", "", &name), Hvd::kSuccess);
  EXPECT_EQ(Tree(m_root / "copy"),
            (Names{"q.xhlc", "q.ghlc", "a.vhd", "nbt/core.vmp", "nbt/core.dat", "remote_sources/_/remote/r.vmp",
                   "remote_sources/_/remote/r.dat", "remote_sources/_/remote/sub/deep.dat"}));
  EXPECT_TRUE(Said("Handling a local nbt source from " + (m_dir / "nbt").string() + " to " +
                   (m_root / "copy/nbt").string() + "\n"));
  EXPECT_TRUE(Said("Handling a remote nbt source from " + (m_root / "remote").string() + " to "));
  // Without the outside sources' bit only the project's own folder goes.
  ASSERT_EQ(Copies()->CopyProject((m_root / "copy2/q.xhlc").c_str(), 0x2, "", "", &name), Hvd::kSuccess);
  EXPECT_EQ(Tree(m_root / "copy2"), (Names{"q.xhlc", "q.ghlc", "a.vhd", "nbt/core.vmp", "nbt/core.dat"}));
}

// A macro folder that nothing else brought along goes file by file under the place the copy's
// map gives it, and that place joins the copy's macro path; a folder outside the project makes
// the copy remote, and a folder that is not there is left out with a warning.
TEST_F(ProjectCopyTest, AMacroFolderNotYetBroughtAlongGoesFileByFile) {
  OpenProject();
  Add(m_dir / "a.vhd");
  WriteText(m_dir / "macros/m1.ngc", "m");
  WriteText(m_root / "shared/m2.ngc", "m");
  WriteText(m_root / "shared/deep/m3.ngc", "m");
  Hvd::CFileMapHelper map;
  AutoRelease<Hvd::IProjectBundle> bundle = CopyBundle(map);
  ASSERT_TRUE(bundle);
  const auto copy = [&](const std::string& macroPath, Text& macro, bool& remote) {
    Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_velmTrnbldMacro", macroPath);
    Port_MsgManData::ClearCaptured();
    return Hvd::FileUtils::AddProjectContentsToBundle(m_project.Get(), 0x80, &map, bundle.Get(), macro, &remote);
  };
  Text macro;
  bool remote = true;
  ASSERT_EQ(copy((m_dir / "macros").string(), macro, remote), Hvd::kSuccess);
  EXPECT_FALSE(remote) << "inside the project";
  const std::string inside = macro.str();
  EXPECT_FALSE(inside.empty());
  EXPECT_TRUE(Said("Mapping MACRO file " + (m_dir / "macros/m1.ngc").string() + " to " + inside + "/m1.ngc\n"));

  const std::string missing = (m_root / "none").string();
  ASSERT_EQ(copy(missing + "|" + (m_root / "shared").string(), macro, remote), Hvd::kSuccess);
  EXPECT_TRUE(remote);
  const std::string outside = macro.str();
  EXPECT_TRUE(!outside.empty() && outside.find('|') == std::string::npos) << outside;
  EXPECT_TRUE(Said("Mapping MACRO file " + (m_root / "shared/m2.ngc").string() + " to " + outside + "/m2.ngc\n"));
  EXPECT_TRUE(Said("Skipping non file " + (m_root / "shared/deep").string() + " in macro search path\n"));
  EXPECT_TRUE(Said("The macro search path directory, " + missing + ", is not valid and will not be copied.\n"));
  std::ignore = bundle->Close(false);
}

// A copy with a working folder of its own: the project's generated files from its working
// folder go to the copy's, and a source in its database folder to the copy's database folder;
// every other file keeps its place beside the copy's project file.
TEST_F(ProjectCopyTest, WorkingFolderAndDatabaseFilesGoToTheCopysOwn) {
  OpenProject();
  Add(m_dir / "a.vhd");
  Add(m_dir / "gen.vhd");
  Add(m_dir / "sub/made.vhd");
  Add(m_dir / "p_qdb/kept.vhd");
  for (const char* generated : {"gen.vhd", "sub/made.vhd"})
    ASSERT_EQ(AutoCast<Hvd::IFile>(File(m_dir / generated))->SetOriginState(1), Hvd::kSuccess) << generated;
  ASSERT_EQ(m_project->Save(), Hvd::kSuccess);
  Text name;
  ASSERT_EQ(Copies()->CopyProject((m_root / "copy/q.xhlc").c_str(), 0x0A, "work", "", &name), Hvd::kSuccess);
  EXPECT_EQ(Tree(m_root / "copy"),
            (Names{"q.xhlc", "work/q.ghlc", "a.vhd", "work/gen.vhd", "sub/made.vhd", "work/q_qdb/kept.vhd"}));
}

// A macro folder that the walk of the project folder brought along already keeps the place the
// walk gave it, and its files are not handed over a second time.
TEST_F(ProjectCopyTest, AMacroFolderAlreadyBroughtAlongKeepsItsPlace) {
  OpenProject();
  Add(m_dir / "a.vhd");
  WriteText(m_dir / "macros/m1.ngc", "m");
  Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_velmTrnbldMacro", (m_dir / "macros").string());
  ASSERT_EQ(m_project->Save(), Hvd::kSuccess);
  Port_MsgManData::ClearCaptured();
  Text name;
  ASSERT_EQ(Copies()->CopyProject((m_root / "copy/q.xhlc").c_str(), 0x92, "", "", &name), Hvd::kSuccess);
  EXPECT_EQ(ReadText(m_root / "copy/macros/m1.ngc"), "m");
  const std::string written = ReadText(m_root / "copy/q.xhlc");
  EXPECT_NE(written.find("vel_kv:value=\"macros\""), std::string::npos) << written;
  EXPECT_FALSE(Said("Mapping MACRO file"));
}

// An entry of the walked folder that lies in the working folder the copy's map was set up with
// goes where the copy's working folder puts it; any other keeps its place in the project.
TEST_F(ProjectCopyTest, AWalkedEntryOutsideTheMapsWorkingFolderKeepsItsPlace) {
  OpenProject();
  Add(m_dir / "a.vhd");
  ASSERT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->ChangeWorkingDirectory((m_dir / "work").c_str(), true, false),
            Hvd::kSuccess);
  WriteText(m_dir / "work/w.txt", "in the working folder\n");
  // The walk of the working folder, into `into`, with a map whose working folder is the one of
  // the project whose repository is `repository`.
  const auto walk = [&](const fs::path& repository, const fs::path& into) {
    Hvd::CFileMapHelper map;
    EXPECT_EQ(map.SetupMap(true, false, m_dir.c_str(), into.c_str(), "", false, repository.c_str(),
                           (into / "q.xhlc").c_str(), (into / "run").c_str()),
              Hvd::kSuccess);
    AutoRelease<Hvd::IProjectBundle> bundle(CitP::Factory::CreateInstance(Hvd::ClassId::DirectoryProjectBundle()));
    EXPECT_TRUE(bundle && bundle->Initialize(into.filename().c_str(), m_root.c_str(), m_dir.c_str()) == Hvd::kSuccess &&
                bundle->Create(false) == Hvd::kSuccess);
    Text macro;
    bool remote = true;
    const Hvd::Status status =
        Hvd::FileUtils::AddProjectContentsToBundle(m_project.Get(), 16, &map, bundle.Get(), macro, &remote);
    EXPECT_FALSE(remote);
    std::ignore = bundle->Close(true);
    return status;
  };
  ASSERT_EQ(walk(m_dir / "work/p.hlc", m_root / "moved"), Hvd::kSuccess);
  EXPECT_EQ(Tree(m_root / "moved"), (Names{"run/w.txt", "run/p.ghlc"}));
  // A map set up while the project's own folder was its working folder.
  ASSERT_EQ(walk(m_dir / "p.hlc", m_root / "kept"), Hvd::kSuccess);
  EXPECT_EQ(Tree(m_root / "kept"), (Names{"work/w.txt", "work/p.ghlc"}));
  EXPECT_EQ(ReadText(m_root / "kept/work/w.txt"), "in the working folder\n");
}

// A project folder that cannot be listed ends the archive before anything is zipped.
TEST_F(ProjectCopyTest, AnArchiveOfAProjectFolderThatCannotBeListedFails) {
  MakeProject();
  const fs::path archive = m_root / "out/p.zip";
  // The listing of the project folder is the archive's first.
  Port::FaultInjection::Fail("UT_DIR", 1, m_dir.string());
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kDirectoryWriteFailed);
  EXPECT_TRUE(Said("FileUtils::AddProjectContentsToBundle - Invalid directory <" + m_dir.string() + "/>\n"));
  EXPECT_FALSE(Said("cleanup failed"));
  EXPECT_FALSE(Said("Archive complete"));
  EXPECT_FALSE(fs::exists(archive));
  EXPECT_FALSE(fs::exists(m_dir / "tmp"));
  Port::FaultInjection::Clear();
  EXPECT_EQ(Copies()->SaveAsArchive(archive.c_str(), nullptr), Hvd::kSuccess);
}

// An item the copy cannot take fails the copy, and a warning names it: an entry of the project
// folder, a folder of sources that cannot be listed, and a macro folder whose file cannot be
// copied. Nothing is left at the copy's name.
TEST_F(ProjectCopyTest, AnItemTheCopyCannotTakeFailsItAndIsNamed) {
  MakeProject();
  WriteText(m_dir / "notes.txt", "walked\n");
  WriteText(m_dir / "sub/readme.txt", "beside a source\n");
  WriteText(m_root / "shared/m1.ngc", "m");
  Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_velmTrnbldMacro", (m_root / "shared").string());
  ASSERT_EQ(m_project->Save(), Hvd::kSuccess);
  const auto refused = [&](const char* operation, const std::string& pathPart, std::uint32_t options) {
    Port::FaultInjection::Scope faults;
    Port::FaultInjection::Fail(operation, 0, pathPart);
    Port_MsgManData::ClearCaptured();
    Text name;
    return Copies()->CopyProject((m_root / "copy/q.xhlc").c_str(), options, "", "", &name);
  };
  EXPECT_EQ(refused("copy_p", "notes.txt", 0x15E), Hvd::kDirectoryWriteFailed);
  EXPECT_TRUE(Said("WARNING: Couldn't add \"" + (m_dir / "notes.txt").string() + "\" to the ProjectBundle.\n"));
  EXPECT_FALSE(fs::exists(m_root / "copy"));

  EXPECT_EQ(refused("UT_DIR", (m_dir / "sub").string(), 0x15E), Hvd::kDirectoryWriteFailed);
  EXPECT_TRUE(Said("WARNING: Couldn't add \"" + (m_dir / "sub").string() + "\" to the ProjectBundle.\n"));
  EXPECT_FALSE(fs::exists(m_root / "copy"));

  // Without the generated sources' bit no file-valued property brings the macro folder along:
  // the macro step copies it file by file.
  EXPECT_EQ(refused("copy_p", "m1.ngc", 0xC2), Hvd::kDirectoryWriteFailed);
  EXPECT_TRUE(Said("WARNING: Couldn't add \"" + (m_root / "shared").string() + "\" to the ProjectBundle.\n"));
  EXPECT_FALSE(fs::exists(m_root / "copy"));

  // Each goes along once nothing is refused.
  Text name;
  ASSERT_EQ(Copies()->CopyProject((m_root / "copy/q.xhlc").c_str(), 0x1DE, "", "", &name), Hvd::kSuccess);
  EXPECT_EQ(ReadText(m_root / "copy/notes.txt"), "walked\n");
  EXPECT_EQ(ReadText(m_root / "copy/sub/readme.txt"), "beside a source\n");
  EXPECT_EQ(ReadText(m_root / "copy/remote_sources/_/shared/m1.ngc"), "m");
}

}  // namespace
}  // namespace xhlc_test
