#pragma once
// A real project with its design, views and base services in a scratch folder, for reading and
// writing project source files. The steps of an open are run in the project's order.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/IFile.h"
#include "Hvd/IFileManager.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Port/MsgMan.h"
#include "Prjrep/IFileNameHelper.h"
#include "Prjrep/IName.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "project/project/CProject.h"
#include "projectfiles/CXMLReader.h"
#include "support/TclRecords.h"
#include "utils/PropertyAccessor.h"

namespace xhlc_test {

namespace fs = std::filesystem;
using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
using Strings = std::vector<std::string>;

const fs::path kData = XHLC_TEST_DATA;

inline std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// What tells a rewritten file from one left alone: its inode and modification time.
struct Stamp {
  ino_t inode = 0;
  std::int64_t modified = 0;
  bool operator==(const Stamp&) const = default;
};
inline Stamp StampOf(const fs::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  return {info.st_ino, static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

// Takes the folder at `path` away, as a user would by hand, and makes one of the user's there
// that the file system gives the freed inode, as ext4 does at once; the new folder holds
// `notes.txt`. False when the inode did not come back within some tries: the folder is then
// made all the same.
inline bool RemadeWithItsInode(const fs::path& path) {
  struct stat before {};
  if (::lstat(path.c_str(), &before) != 0) return false;
  // Made before the removal, so that it does not take the freed inode itself.
  const fs::path hold = path.parent_path().parent_path() / (".hold_" + path.filename().string());
  fs::create_directories(hold);
  fs::remove_all(path);
  bool reused = false;
  for (int i = 0; i < 4096 && !reused; ++i) {
    const fs::path made = hold / std::to_string(i);
    struct stat info {};
    if (!fs::create_directory(made) || ::lstat(made.c_str(), &info) != 0) break;
    if (info.st_ino == before.st_ino && info.st_dev == before.st_dev) {
      fs::rename(made, path);
      reused = true;
    }
  }
  fs::remove_all(hold);
  fs::create_directories(path);
  WriteText(path / "notes.txt", "the user's");
  return reused;
}

inline bool Captured(Port_MsgManData::Severity severity, const std::string& part) {
  for (const auto& record : Port_MsgManData::Captured()) {
    if (record.severity == severity && record.text.find(part) != std::string::npos) return true;
  }
  return false;
}

class XhlcProject : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Base") && CitP::Factory::LoadLibraryFactory("libHvd_TOE") &&
                CitP::Factory::LoadLibraryFactory("libHvd_Hdl"));
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    testing_support::ResetTclRecords();
    m_root = fs::temp_directory_path() / ("xhlc_" + std::to_string(getpid()) + "_" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_root);
    m_dir = m_root / "proj";
    fs::create_directories(m_dir);
    m_file = m_dir / "p.xhlc";
    Port_MsgManData::ClearCaptured();
  }
  void TearDown() override {
    Close();
    testing_support::ResetTclRecords();
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    fs::remove_all(m_root);
  }

  // An open, empty project on `file` with its design, views and "work" library.
  void OpenEmpty(const fs::path& file) {
    m_project = AutoRelease<Hvd::IProject>(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    m_design = AutoRelease<Hvd::IDesign>(CitP::Factory::CreateInstance(Hvd::ClassId::Design()));
    ASSERT_TRUE(m_project && m_design);
    Hvd::CProject::FromInterface(m_project.Get())->EnterOpenState(file.c_str(), m_design.Get(), m_readOnly);
    ASSERT_EQ(AutoCast<Hvd::ICompAdmin>(m_design.Get())->InitializeAfterCreate(m_project.Get(), nullptr),
              Hvd::kSuccess);
    AutoRelease<Hvd::IDesignPlatform> platform;
    ASSERT_EQ(m_design->GetDesignPlatform(platform.Receive()), Hvd::kSuccess);
    ASSERT_EQ(platform->NotifyChanges(), Hvd::kSuccess);
    if (m_readOnly) return;  // it makes no library either
    AutoRelease<Hvd::ISourceLibrary> work;
    ASSERT_EQ(Libraries()->CreateSourceLibrary("work", work.Receive()), Hvd::kSuccess);
  }

  // The project's open of an existing file: parse, version, then the reading steps in order.
  // False when the file does not parse or its version is not accepted.
  bool Load(const fs::path& file) {
    OpenEmpty(file);
    m_reader = std::make_unique<Hvd::CXMLReader>(m_project.Get());
    if (m_divertFiles) m_reader->DivertFileEntries();
    if (!m_reader->ParseFile(file.c_str())) return false;
    return ReadSteps();
  }
  // The steps after the parse, on the document m_reader holds.
  bool ReadSteps() {
    m_reader->ReadVersion();
    Text version;
    if (m_reader->GetSchemaVersion(&version) != Hvd::kSuccess || !Hvd::CXMLReader::IsAcceptedSchemaVersion(version))
      return false;
    m_reader->ApplyProperties();
    m_reader->ReadFilesAndLibraries(m_releaseDocument);
    m_reader->UpdateFileViews();
    m_reader->ReadImplementationTop();
    m_reader->ReadPartitions();
    return true;
  }
  // A fixture copied into the project folder as its project file, then loaded.
  bool LoadFixture(const std::string& name) {
    fs::copy_file(kData / name, m_file, fs::copy_options::overwrite_existing);
    return Load(m_file);
  }

  void Close() {
    m_reader.reset();
    if (m_design) std::ignore = AutoCast<Hvd::ICompAdmin>(m_design.Get())->Teardown();
    m_project = nullptr;
    m_design = nullptr;
  }

  AutoCast<Hvd::ISourceLibraryManager> Libraries() { return AutoCast<Hvd::ISourceLibraryManager>(m_project.Get()); }
  // Adds without looking for the file on disk, as the reader does.
  AutoCast<Hvd::IProjectInternal> Internal() { return AutoCast<Hvd::IProjectInternal>(m_project.Get()); }
  AutoCast<Hvd::IFileManager> Files() { return AutoCast<Hvd::IFileManager>(m_project.Get()); }

  // Full paths of the project's files, in the file manager's order.
  Strings FileNames() {
    Strings names;
    AutoRelease<Hvd::IHdlFileIterator> files;
    if (Files()->GetProjectFiles(files.Receive()) != Hvd::kSuccess) return names;
    for (; files && !files->IsDone(); std::ignore = files->Next()) {
      Text name;
      std::ignore = AutoCast<Prjrep::IFileNameHelper>(files->Current())->GetFullName(&name);
      names.push_back(name.str());
    }
    return names;
  }
  Hvd::IHdlFile* File(const fs::path& path) {
    AutoRelease<Hvd::IHdlFileIterator> at;
    if (Files()->FindFileByPath(path.c_str(), at.Receive()) != Hvd::kSuccess || !at || at->IsDone()) return nullptr;
    return at->Current();
  }
  std::string LibraryOf(Hvd::IHdlFile* file) {
    AutoRelease<Hvd::ISourceLibrary> library;
    if (AutoCast<Hvd::ISourceLibraryMember>(file)->GetLibrary(library.Receive()) != Hvd::kSuccess || !library)
      return "";
    Text name;
    std::ignore = AutoCast<Prjrep::IName>(library.Get())->GetName(name);
    return name.str();
  }
  std::uint64_t SequenceId(Hvd::IHdlFile* file, std::uint32_t kind) {
    std::uint64_t id = 0;
    EXPECT_EQ(AutoCast<Hvd::ICompileOrder>(file)->GetSequenceID(kind, &id), Hvd::kSuccess);
    return id;
  }
  std::string Property(const char* name) { return Hvd::PropertyAccessor(m_project.Get()).GetPropertyValue(name).str(); }

  fs::path m_root;
  fs::path m_dir;
  fs::path m_file;
  AutoRelease<Hvd::IProject> m_project;
  AutoRelease<Hvd::IDesign> m_design;
  std::unique_ptr<Hvd::CXMLReader> m_reader;
  // Whether Load lets go of the parsed document before the views are filled, as the open does.
  bool m_releaseDocument = false;
  // Whether Load's parse leaves the file entries out of the document, as the open's does.
  bool m_divertFiles = false;
  // Whether the project is entered read-only, so that it refuses every file added.
  bool m_readOnly = false;
};

}  // namespace xhlc_test
