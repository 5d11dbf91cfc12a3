#pragma once
// Real projects opened from files in a scratch folder, with the components they load by
// name, for the child-project tests.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IFile.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IProject.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Port/MsgMan.h"
#include "Prjrep/IFileNameHelper.h"
#include "Prjrep/IName.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "core/Holders.h"
#include "support/TclRecords.h"

namespace child_testing {

namespace fs = std::filesystem;
using Text = Port::StringBase<char>;
using Hvd::kFailure, Hvd::kSuccess, Hvd::kNotSupported;
using Prjrep::AutoCast, Prjrep::AutoPtr, Prjrep::AutoRelease;

inline void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string NameOf(CitI::IInterface* object) {
  Text name;
  if (AutoCast<Prjrep::IName> named(object); named) std::ignore = named->GetName(name);
  return name.str();
}

inline CitI::IInterface* Identity(CitI::IInterface* object) {
  return object ? object->QueryInterface(CitI::IInterface::GetIID()) : nullptr;
}

class ChildProjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Base") && CitP::Factory::LoadLibraryFactory("libHvd_TOE") &&
                CitP::Factory::LoadLibraryFactory("libHvd_Hdl"));
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    testing_support::ResetTclRecords();
    m_root = fs::temp_directory_path() / ("child_" + std::to_string(getpid()) + "_" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_root);
    fs::create_directories(m_root);
    Port_MsgManData::ClearCaptured();
  }
  void TearDown() override {
    for (auto& project : m_projects) std::ignore = project->ProjectClose(false);
    m_projects.clear();
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    fs::remove_all(m_root);
  }

  // A project opened on `relative` in the scratch folder, made when it is not there; closed
  // at the end of the test.
  Hvd::IProject* Open(const std::string& relative) {
    AutoRelease<Hvd::IProject> project(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    EXPECT_TRUE(project);
    if (!project) return nullptr;
    fs::create_directories((m_root / relative).parent_path());
    EXPECT_EQ(project->Open((m_root / relative).c_str()), kSuccess);
    m_projects.emplace_back(std::move(project));
    return m_projects.back().Get();
  }
  // Keeps a project that something else opened, to close it at the end.
  void CloseAtEnd(Hvd::IProject* project) { m_projects.emplace_back(project); }

  std::string PathOf(const std::string& relative) const { return (m_root / relative).string(); }

  // A file written to disk and added to the project.
  AutoRelease<Hvd::IHdlFile> Add(Hvd::IProject* project, const std::string& relative) {
    if (!fs::exists(m_root / relative)) WriteText(m_root / relative, "entity e is end;\n");
    AutoRelease<Hvd::IHdlFile> file;
    EXPECT_EQ(AutoCast<Hvd::IFileManager>(project)->ProjectAddFile(PathOf(relative).c_str(), nullptr, file.Receive()),
              kSuccess)
        << relative;
    return file;
  }
  static AutoRelease<Hvd::IHdlFile> Find(Hvd::IProject* project, const std::string& path) {
    AutoRelease<Hvd::IHdlFile> file;
    std::ignore = AutoCast<Hvd::IFileManager>(project)->FindFileCompFromName(path.c_str(), file.Receive());
    return file;
  }
  // Full paths of the project's files, in order.
  static std::vector<std::string> FileNames(Hvd::IProject* project) {
    std::vector<std::string> names;
    AutoRelease<Hvd::IHdlFileIterator> files;
    if (AutoCast<Hvd::IFileManager>(project)->GetProjectFiles(files.Receive()) != kSuccess) return names;
    for (; files && !files->IsDone(); std::ignore = files->Next()) {
      Text name;
      std::ignore = AutoCast<Prjrep::IFileNameHelper>(files->Current())->GetFullName(&name);
      names.push_back(name.str());
    }
    return names;
  }
  static std::string LibraryOf(CitI::IInterface* file) {
    AutoRelease<Hvd::ISourceLibrary> library;
    AutoCast<Hvd::ISourceLibraryMember> member(file);
    if (!member || member->GetLibrary(library.Receive()) != kSuccess || !library) return "";
    return NameOf(library.Get());
  }
  static bool HasLibrary(Hvd::IProject* project, const char* name) {
    AutoRelease<Hvd::ISourceLibrary> library;
    std::ignore = AutoCast<Hvd::ISourceLibraryManager>(project)->FindSourceLibrary(name, library.Receive());
    return static_cast<bool>(library);
  }

  fs::path m_root;
  std::vector<AutoPtr<Hvd::IProject>> m_projects;
};

}  // namespace child_testing
