#include "childproject/Originators.h"

#include "CitP/Factory.h"
#include "Hvd/IDesign.h"
#include "Hvd/IFileManager.h"
#include "Port/Process.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IAutonym.h"
#include "childproject/FileComposer.h"
#include "utils/DmUtils.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

AutoRelease<Prjrep::ISimpleNamedLookup> Registry() {
  return AutoRelease<Prjrep::ISimpleNamedLookup>(CitP::Factory::CreateInstance(Prjrep::ClassId::NamedObjectRegistry()));
}

// Registers `object` under `name`, or withdraws the name for a null object.
void Reinstate(const char* name, CitI::IInterface* object) {
  AutoRelease<Prjrep::ISimpleNamedLookup> registry = Registry();
  if (!registry) return;
  if (object != nullptr) {
    std::ignore = RegisterNamedObject(registry.Get(), name, object, true);
  } else {
    std::ignore = registry->Unregister(name);
  }
}

AutoRelease<CitI::IInterface> Registered(const char* name) {
  AutoRelease<CitI::IInterface> object;
  std::ignore = FindNamedObject(name, object.Receive());
  return object;
}

// The Cvf project that the repository of `project` holds, or null.
AutoRelease<CitI::IInterface> CompanionCvfProject(IProject2* project) {
  String key;
  String ignored;
  if (Port_Env::GetEnv("VEL_CORVANE_ENABLE_HLC", ignored)) {
    std::ignore = project->GetRepositoryPath(&key);
  } else {
    std::ignore = project->GetProjectFilePath(&key);
  }
  AutoRelease<Prjrep::IProjectRepository> repository = FindAutonymByName(key.c_str(), false);
  AutoRelease<CitI::IInterface> helper;
  std::ignore = FindNamedObjectIn(repository.Get(), "CvfProject", helper.Receive());
  return helper;
}

// The project of a design unit through its design; null when it has none.
AutoRelease<IProject> ProjectOfUnit(CitI::IInterface* object) {
  AutoCast<IDesignUnit> unit(object);
  AutoRelease<IDesign> design;
  AutoRelease<IProject> project;
  if (!unit || unit->GetDesign(design.Receive()) != kSuccess || !design) return project;
  std::ignore = design->GetProject(project.Receive());
  return project;
}

String ProjectName(IProject* project) {
  String name;
  std::ignore = project->GetRepositoryPath(&name);
  return name;
}

}  // namespace

void AddOriginator(CitI::IInterface* object, CitI::IInterface* originator) {
  if (AutoCast<IOriginatorRef> originators(object); originators)
    std::ignore = originators->AddOriginator(originator);
}

Status RemoveOriginator(CitI::IInterface* object, CitI::IInterface* originator) {
  AutoCast<IOriginatorRef> originators(object);
  AutoRelease<Prjrep::IAutonymIterator> at;
  AutoRelease<Prjrep::IAutonymSet> set;
  if (!originators) return kFailure;
  std::ignore = originators->FindOriginator(originator, at.Receive());
  if (!at || at->IsDone()) return kFailure;
  if (originators->GetOriginators(set.Receive()) != kSuccess || !set) return kFailure;
  return set->Remove(at.Get());
}

std::int64_t OriginatorCount(CitI::IInterface* object) {
  AutoCast<IOriginatorRef> originators(object);
  AutoRelease<Prjrep::IAutonymSet> set;
  if (!originators || originators->GetOriginators(set.Receive()) != kSuccess || !set) return -1;
  return static_cast<std::int64_t>(set->Size());
}

AutoRelease<IProject> OriginatingProject(CitI::IInterface* originator) {
  // By its path, as the file found it: an owner lookup would stand in the active project.
  const String path = GetObjectFullPath(originator);
  return path.empty() ? nullptr : GetActiveProjectOfRepository(path);
}

AutoRelease<IFile> FindFileByPath(IProject* project, const String& path) {
  AutoCast<IFileManager> files(project);
  AutoRelease<IHdlFile> found;
  if (!files || files->FindFileCompFromName(path, found.Receive()) != kSuccess || !found) return nullptr;
  return AutoRelease<IFile>(Prjrep::AutoReturn<IFile>(found.Get()).Get());
}

bool OriginStateIsOne(CitI::IInterface* file) {
  AutoCast<IFile> record(file);
  std::uint32_t state = 0;
  return record && record->GetOriginState(&state) == kSuccess && state == 1;
}

void SetOriginState(CitI::IInterface* file, std::uint32_t state) {
  if (AutoCast<IFile> record(file); record) std::ignore = record->SetOriginState(state);
}

Status UpdateComposedFileOriginators(IProject* parent, IProject* child) {
  FileComposer composer(parent, child);
  return composer.RemoveDecomposedFiles();
}

Status PropagateLibraryToOriginators(CitI::IInterface* object) {
  AutoCast<IOriginatorRef> originators(object);
  AutoRelease<Prjrep::IAutonymIterator> walk;
  if (!originators || originators->GetOriginatorIterator(walk.Receive()) != kSuccess || !walk) return kSuccess;
  AutoRelease<IProject> own = ProjectOfUnit(object);
  if (!own) return kSuccess;
  const String ownPath = GetObjectFullPath(own.Get());
  for (; !walk->IsDone(); std::ignore = walk->Next()) {
    // The file's own project, the originator of nearly every file, is known by its path without
    // a look-up.
    const String path = GetObjectFullPath(walk->Current());
    if (path.empty() || path == ownPath) continue;
    AutoRelease<IProject> origin = GetActiveProjectOfRepository(path);
    if (!origin) continue;
    if (origin->QueryInterface(CitI::IInterface::GetIID()) == own->QueryInterface(CitI::IInterface::GetIID()) ||
        ProjectName(origin.Get()) == ProjectName(own.Get()))
      continue;
    FileComposer composer(origin.Get(), nullptr);
    AutoRelease<IFile> there = FindFileByPath(origin.Get(), GetObjectFullPath(object));
    composer.CopySourceLibraryMembership(object, there.Get());
  }
  return kSuccess;
}

void RestoreActiveRepository(AutoRelease<CitI::IInterface>& repository) {
  if (repository) Reinstate("ActiveRepository", repository.Get());
  repository = nullptr;
}

void RegisterActiveProjects(AutoRelease<CitI::IInterface>& project) {
  if (AutoCast<IProject2> saved(project.Get()); saved) {
    AutoRelease<CitI::IInterface> helper = CompanionCvfProject(saved.Get());
    Reinstate("ActiveHvdProject", saved.Get());
    Reinstate("ActiveCvfProject", helper.Get());
  }
  project = nullptr;
}

ActiveProjectRecord::ActiveProjectRecord()
    : m_project(Registered("ActiveHvdProject")),
      m_cvfProject(Registered("ActiveCvfProject")),
      m_repository(Registered("ActiveRepository")) {}

ActiveProjectRecord::~ActiveProjectRecord() {
  if (AutoCast<IProject2>(m_project.Get())) {
    // The Cvf project that belongs to the project, else the one active before.
    AutoRelease<CitI::IInterface> companion = CompanionCvfProject(AutoCast<IProject2>(m_project.Get()).Get());
    Reinstate("ActiveHvdProject", m_project.Get());
    Reinstate("ActiveCvfProject", companion ? companion.Get() : m_cvfProject.Get());
  } else {
    Reinstate("ActiveHvdProject", m_project.Get());
    Reinstate("ActiveCvfProject", m_cvfProject.Get());
  }
  Reinstate("ActiveRepository", m_repository.Get());
}

}  // namespace Hvd
