#pragma once
// Doubles of what a project holds until the real ones exist: a design whose data store knows
// a few file types, source files that keep their name through the repository's path-name
// component, and a source library.

#include <map>
#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDefDataId.h"
#include "Hvd/IDesign.h"
#include "Hvd/IFile.h"
#include "Hvd/IFileType.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/ISourceLibrary.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IFileNameHelper.h"
#include "core/Factory.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Names.h"
#include "core/RefCount.h"
#include "utils/DmUtils.h"

namespace project_fakes {

using Hvd::Status;
using Text = Port::StringBase<char>;
constexpr Status kNo = Hvd::kNotSupported;

struct FakeType : Hvd::TComponent<FakeType, Hvd::IDefDataId> {
  explicit FakeType(const char* name) : name(name) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IFileType>(&type), Hvd::Row<Hvd::IDefDataId>(this),
                      Hvd::Row<Prjrep::IRefCount>(&count), Hvd::Row<CitI::IInterface>(this));
  }
  Status GetDefDataIdName(Text* out) override {
    *out = name;
    return Hvd::kSuccess;
  }
  Text name;
  struct XIFileType : Hvd::TNested<FakeType, Hvd::IFileType> {
    using TNested::TNested;
    Status GetDesignUnitTypeIds(Hvd::IDefDataIdIterator**) override { return kNo; }
    Status GetPlugInKey(Text*) override { return kNo; }
  } type{this};
  Prjrep::TRefCountHelper<FakeType> count{this};
};

// Knows "vhd", "xhlc" and "txt".
struct FakeStore : Hvd::TComponent<FakeStore, Hvd::IFileTypeStore> {
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IFileTypeStore>(this), Hvd::Row<Prjrep::IRefCount>(&count),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Status FindFileTypeByExtension(const Text& extension, Hvd::IFileType** out) override {
    Prjrep::AutoOut<Hvd::IFileType> type(out);
    auto found = types.find(extension.str());
    if (found == types.end()) return Hvd::kFailure;
    type.Assign(found->second.Get());
    return Hvd::kSuccess;
  }
  Status GetFileType(Hvd::IDefDataId*, Hvd::IFileType**) override { return kNo; }
  Status FindFileTypeByKey(const Text&, Hvd::IFileType**) override { return kNo; }
  std::map<std::string, Prjrep::AutoPtr<CitI::IInterface>> types{
      {"vhd", Prjrep::AutoPtr<CitI::IInterface>(Prjrep::AutoRelease<CitI::IInterface>(new FakeType("FILE_VHDL")))},
      {"xhlc", Prjrep::AutoPtr<CitI::IInterface>(Prjrep::AutoRelease<CitI::IInterface>(new FakeType("FILE_XHLC")))},
      {"txt", Prjrep::AutoPtr<CitI::IInterface>(Prjrep::AutoRelease<CitI::IInterface>(new FakeType("FILE_TEXT")))}};
  Prjrep::TRefCountHelper<FakeStore> count{this};
};

struct FakeDesign : Hvd::TComponent<FakeDesign, Hvd::IDesign> {
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IDesign>(this), Hvd::Row<Prjrep::IRefCount>(&count),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Status GetDesignPlatform(Hvd::IDesignPlatform**) override { return kNo; }
  Status SetDesignPlatform(Hvd::IDesignPlatform*) override { return kNo; }
  Status GetDesignUnits(Hvd::IHdlDesignUnitIterator**) override { return kNo; }
  Status GetTOE(Hvd::ITransformEngine**) override { return kNo; }
  Status GetDataStore(Hvd::IDataStore** out) override {
    *out = reinterpret_cast<Hvd::IDataStore*>(store.Get());  // only ever queried
    Prjrep::AddRefInterface(store.Get());
    return Hvd::kSuccess;
  }
  Status GetPropertyManager(Hvd::IPropertyManager**) override { return kNo; }
  Status GetProject(Hvd::IProject**) override { return kNo; }
  Status GetDefaultParserConfig(Hvd::IHdlParserConfig**) override { return kNo; }
  Prjrep::AutoPtr<CitI::IInterface> store{Prjrep::AutoRelease<CitI::IInterface>(new FakeStore)};
  Prjrep::TRefCountHelper<FakeDesign> count{this};
};

// What the project did to its files, across all of them.
struct FileLog {
  std::vector<std::string> removed;
  int destroyed = 0;
};
inline FileLog& Log() {
  static FileLog log;
  return log;
}

struct FakeAutonymIterator : Hvd::TComponent<FakeAutonymIterator, Prjrep::IAutonymIterator> {
  explicit FakeAutonymIterator(bool found) : done(!found) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Prjrep::IAutonymIterator>(this), Hvd::Row<Prjrep::IRefCount>(&count),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Prjrep::IAutonym* Current() override { return nullptr; }
  Status Reset() override { return Hvd::kSuccess; }
  Status Next() override { return Hvd::kSuccess; }
  bool IsDone() override { return done; }
  bool done;
  Prjrep::TRefCountHelper<FakeAutonymIterator> count{this};
};

// A source file: the project's view of one, no more.
struct FakeFile : Hvd::TComponent<FakeFile, Hvd::IHdlFile> {
  static const Port::XUID& GetCLSID() { return Hvd::ClassId::File(); }
  ~FakeFile() override { ++Log().destroyed; }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IHdlFile>(this), Hvd::Row<Hvd::IFile>(&file), Hvd::Row<Hvd::ICompAdmin>(&admin),
                      Hvd::Row<Hvd::ICompileOrder>(&order), Hvd::Row<Hvd::IOriginatorRef>(&originators),
                      Hvd::Row<Hvd::IFileInternal>(&internal),
                      Hvd::Row<Prjrep::IFileNameHelper>(names.TryAs<Prjrep::IFileNameHelper>().Get()),
                      Hvd::Row<Prjrep::IRefCount>(&count), Hvd::Row<CitI::IInterface>(this));
  }
  Status CheckFileOnDisk() override { return Hvd::kSuccess; }
  Status SetModified(bool) override { return kNo; }
  Status ReservedOperation4(CitI::IInterface**) override { return kNo; }
  Status SetPath(const Text&, const Text&) override { return kNo; }
  Status GetPath(Text* directory, Text* name) override {
    Prjrep::AutoCast<Prjrep::IFileNameHelper> helper(names.Get());
    std::ignore = helper->GetDirectory(directory);
    std::ignore = helper->GetShortName(name);
    return Hvd::kSuccess;
  }
  Status GetDesignUnits(Hvd::IHdlParserConfig*, Hvd::IHdlDesignUnitIterator**) override { return kNo; }
  Status ReservedOperation8(CitI::IInterface*, CitI::IInterface*, CitI::IInterface**) override { return kNo; }
  Status ReservedOperation9(CitI::IInterface*, CitI::IInterface*, Text*) override { return kNo; }
  Status SetParserName(const Text&) override { return kNo; }
  Status GetParserName(Text*) override { return kNo; }
  Status GetFileAddTarget(std::uint64_t*) override { return kNo; }
  Status GetSequenceId(std::uint64_t*) override { return kNo; }
  Status SetSequenceId(std::uint64_t) override { return kNo; }
  Status IsModified(bool*) override { return kNo; }

  struct XIFile : Hvd::TNested<FakeFile, Hvd::IFile> {
    using TNested::TNested;
    Status GetFileType(Hvd::IFileType** out) override {
      Prjrep::AutoOut<Hvd::IFileType>(out).Assign(This().type.Get());
      return Hvd::kSuccess;
    }
    Status GetFileFlag(bool*) override { return kNo; }
    Status SetFileFlag(bool) override { return kNo; }
    Status GetOriginState(std::uint32_t* state) override {
      *state = This().origin;
      return Hvd::kSuccess;
    }
    Status SetOriginState(std::uint32_t state) override {
      This().origin = state;
      return Hvd::kSuccess;
    }
  } file{this};
  struct XICompAdmin : Hvd::TNested<FakeFile, Hvd::ICompAdmin> {
    using TNested::TNested;
    Status InitializeAfterCreate(CitI::IInterface*, CitI::IInterface* definition) override {
      This().type = definition;
      return Hvd::kSuccess;
    }
    Status InitializeAfterLoad(CitI::IInterface*) override { return kNo; }
    Status RegisterForNotifications() override { return kNo; }
    Status Teardown() override { return kNo; }
  } admin{this};
  struct XICompileOrder : Hvd::TNested<FakeFile, Hvd::ICompileOrder> {
    using TNested::TNested;
    Status SetSequenceID(std::uint32_t kind, std::uint64_t value) override {
      This().sequence[kind] = value;
      return Hvd::kSuccess;
    }
    Status GetSequenceID(std::uint32_t kind, std::uint64_t* value) override {
      *value = This().sequence[kind];
      return Hvd::kSuccess;
    }
  } order{this};
  // Originators by full path.
  struct XIOriginatorRef : Hvd::TNested<FakeFile, Hvd::IOriginatorRef> {
    using TNested::TNested;
    Status AddOriginator(CitI::IInterface* object) override {
      This().originatorPaths.push_back(Hvd::GetObjectFullPath(object).str());
      return Hvd::kSuccess;
    }
    Status GetOriginatorIterator(Prjrep::IAutonymIterator**) override { return kNo; }
    Status FindOriginator(CitI::IInterface* object, Prjrep::IAutonymIterator** at) override {
      const std::string path = Hvd::GetObjectFullPath(object).str();
      bool found = false;
      for (const auto& known : This().originatorPaths) found = found || known == path;
      *at = new FakeAutonymIterator(found);
      return Hvd::kSuccess;
    }
    Status GetOriginators(Prjrep::IAutonymSet**) override { return kNo; }
  } originators{this};
  struct XIFileInternal : Hvd::TNested<FakeFile, Hvd::IFileInternal> {
    using TNested::TNested;
    Status Remove() override {
      Text name;
      std::ignore = Prjrep::AutoCast<Prjrep::IFileNameHelper>(This().names.Get())->GetFullName(&name);
      Log().removed.push_back(name.str());
      return Hvd::kSuccess;
    }
  } internal{this};

  Prjrep::AutoPtr<CitI::IInterface> type;
  std::uint32_t origin = 0;
  std::uint64_t sequence[8] = {};
  std::vector<std::string> originatorPaths;
  Prjrep::AutoPtr<CitI::IInterface> names{
      Prjrep::AutoRelease<CitI::IInterface>(CitP::Factory::CreateInstance(Prjrep::ClassId::FileNameHelper()))};
  Prjrep::TRefCountHelper<FakeFile> count{this};
};

// A library that takes every file type and counts what it was given.
struct FakeLibrary : Hvd::TComponent<FakeLibrary, Hvd::ISourceLibrary> {
  static const Port::XUID& GetCLSID() { return Hvd::ClassId::SourceLibrary(); }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::ISourceLibrary>(this), Hvd::Row<Prjrep::IName>(&name),
                      Hvd::Row<Prjrep::IRefCount>(&count), Hvd::Row<CitI::IInterface>(this));
  }
  Status IsFileTypeValidForLibrary(Hvd::IFileType*, bool* valid) override {
    *valid = true;
    return Hvd::kSuccess;
  }
  Status AddFileToLibrary(Hvd::IHdlFile*) override {
    ++files;
    return Hvd::kSuccess;
  }
  Status RemoveFileFromLibrary(Hvd::IHdlFile*) override { return kNo; }
  int files = 0;
  Prjrep::CNameHelper name{this};
  Prjrep::TRefCountHelper<FakeLibrary> count{this};
};

}  // namespace project_fakes
