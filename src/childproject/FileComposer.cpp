#include "childproject/FileComposer.h"

#include "CitP/Factory.h"
#include "Hvd/IConfiguration.h"
#include "Hvd/IDesign.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IHlcFileTypeHelper.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Hvd/IViewManager.h"
#include "Port/FileName.h"
#include "Prjrep/IName.h"
#include "childproject/ListProperties.h"
#include "childproject/Originators.h"
#include "childproject/Paths.h"
#include "core/Diagnostics.h"
#include "utils/DmUtils.h"
#include "utils/FileStamp.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

template <class I, class From>
AutoRelease<I> NewReference(From* object) {
  return AutoRelease<I>(Prjrep::AutoReturn<I>(object).Get());
}

// The view-class bit of a view kind.
std::uint32_t ViewClassOfKind(std::int32_t kind) {
  switch (kind) {
    case 5: return 1;
    case 6: return 2;
    case 7: return 3;
    case 8: return 4;
    case 9: return 5;
    default: return 0;
  }
}

}  // namespace

FileComposer::FileComposer(IProject* destination, IProject* source, std::int32_t viewAssociationKind)
    : m_destination(destination), m_source(source), m_viewAssociationKind(viewAssociationKind) {}

void FileComposer::Reset(std::int32_t viewAssociationKind) {
  m_viewAssociationKind = viewAssociationKind;
  m_startView = String();
  m_stopView = String();
  m_behavioral = false;
}

void FileComposer::SetStartStopViews(const String& start, const String& stop) {
  m_startView = start;
  m_stopView = stop;
  m_behavioral = false;
}

void FileComposer::AddFileToCompose(IFile* file) {
  CitI::IInterface* const identity = file ? file->QueryInterface(CitI::IInterface::GetIID()) : nullptr;
  if (identity == nullptr || !m_seen.insert(identity).second) return;
  m_files.emplace_back(file);
}

AutoRelease<IView> FindViewByName(IProject* project, const String& name) {
  IDesign* design = nullptr;
  if (project == nullptr || project->GetDesign(&design) != kSuccess || design == nullptr) return nullptr;
  AutoCast<IViewManager> views(design);
  AutoRelease<IViewIterator> at;
  if (!views || views->FindViewByHint(name, at.Receive()) != kSuccess || !at || at->IsDone()) return nullptr;
  return NewReference<IView>(at->Current());
}

Status ReportCompositionError(int line, const char* reason, const char* signature) {
  return Fail(kFailure, "ERROR: %s(%i) : %s in function:\n'%s'.\n", "../src/CChildProjectHelp", line,
              ("\"" + std::string(reason) + "\"").c_str(), signature);
}

AutoRelease<IProjectHelper> FileComposer::DestinationCvfProject() const {
  return m_destination ? GetCvfProject(m_destination.Get(), true) : nullptr;
}

AutoRelease<IProjectHelper> FileComposer::SourceCvfProject() const {
  return m_source ? GetCvfProject(m_source.Get(), true) : nullptr;
}

AutoRelease<IFile> FileComposer::DestinationFile(const String& path) const {
  return FindFileByPath(m_destination.Get(), path);
}

AutoRelease<IFile> FileComposer::SourceFile(const String& path) const { return FindFileByPath(m_source.Get(), path); }

template <class Add>
AutoRelease<IFile> FileComposer::FindOrAdd(const String& path, Add add) {
  AutoRelease<IFile> file = DestinationFile(path);
  if (file) return file;
  if (!add()) return nullptr;
  file = DestinationFile(path);
  // Added on the child's behalf: the parent did not bring it in itself.
  if (file) std::ignore = RemoveOriginator(file.Get(), m_destination.Get());
  return file;
}

AutoRelease<IHdlFile> FileComposer::AddComposedFileByPath(const String& path) {
  AutoRelease<IFile> file = FindOrAdd(path, [&] {
    AutoRelease<IProjectHelper> helper = DestinationCvfProject();
    AutoCast<IProjSrcHelper> sources(helper.Get());
    if (!sources) return false;
    std::ignore = sources->AddProjectSource(path, 0);
    return true;
  });
  if (file) AddOriginator(file.Get(), m_source.Get());
  return NewReference<IHdlFile>(file.Get());
}

AutoRelease<IHdlFile> FileComposer::AddComposedFileWithViewAssociation(const String& path) {
  AutoRelease<IFile> file = FindOrAdd(path, [&] {
    AutoRelease<IProjectHelper> helper = DestinationCvfProject();
    AutoCast<ISourceViewAssoc> associations(helper.Get());
    if (!associations) return false;
    std::ignore = associations->AddSourceWithViewAssociation(path, m_viewAssociationKind);
    return true;
  });
  if (file) AddOriginator(file.Get(), m_source.Get());
  return NewReference<IHdlFile>(file.Get());
}

AutoRelease<IHdlFile> FileComposer::AddComposedFileWithDesignUnitAssociation(const String& path) {
  AutoRelease<IProjectHelper> destinationHelper = DestinationCvfProject();
  AutoRelease<IProjectHelper> sourceHelper = SourceCvfProject();
  AutoCast<IProjSrcHelper> sources(destinationHelper.Get());
  AutoCast<ISourceViewAssoc> childAssociations(sourceHelper.Get());
  if (!sources || !childAssociations) return nullptr;
  AutoRelease<IFile> file = FindOrAdd(path, [&] {
    std::ignore = sources->AddProjectSource(path, 0);
    return true;
  });
  if (!file) return nullptr;
  AddOriginator(file.Get(), m_source.Get());
  // The child knows the association of its own unit of that path, not of the parent's.
  AutoRelease<IFile> own = SourceFile(path);
  std::int32_t association = 0;
  if (own && childAssociations->GetSourceViewAssociation(AutoCast<IDesignUnit>(own.Get()).Get(), &association) ==
                 kSuccess &&
      association != 0)
    std::ignore = sources->SetSourceViewAssociation(AutoCast<IDesignUnit>(file.Get()).Get(), association);
  return NewReference<IHdlFile>(file.Get());
}

void FileComposer::AddFileToViewAsDesignUnit(IView* view, CitI::IInterface* file) {
  AutoCast<IHdlDesignUnitSet> units(view);
  AutoCast<IHdlDesignUnit> unit(file);
  if (units && unit) std::ignore = units->Add(unit.Get());
}

void FileComposer::CopySourceLibraryMembership(CitI::IInterface* sourceFile, CitI::IInterface* destinationFile) {
  // No library is made for a file that was not brought in.
  AutoCast<IHdlFile> destination(destinationFile);
  if (!destination) return;
  AutoRelease<ISourceLibrary> library = FindOrCreateSourceLibrary(m_destination.Get(), GetFileLibraryName(sourceFile));
  if (library) std::ignore = library->AddFileToLibrary(destination.Get());
}

void FileComposer::CopySourceFileLibrary(CitI::IInterface* sourceFile) {
  AutoRelease<IFile> destination = DestinationFile(GetObjectFullPath(sourceFile));
  CopySourceLibraryMembership(sourceFile, destination.Get());
}

void FileComposer::SetFileViewClassForKind(std::int32_t kind, const String& path) {
  AutoRelease<IFile> file = DestinationFile(path);
  if (AutoCast<IViewClassAssociation> classes(file.Get()); classes) std::ignore = classes->SetBit(ViewClassOfKind(kind));
}

void FileComposer::SetComposedFilesViewClass(std::int32_t kind) {
  for (const AutoPtr<IFile>& file : m_files) SetFileViewClassForKind(kind, GetObjectFullPath(file.Get()));
}

Status FileComposer::RemoveDecomposedFiles() {
  AutoCast<IFileManager> files(m_destination.Get());
  AutoRelease<IHdlFileIterator> at;
  if (!m_destination || !m_source || !files || files->GetProjectFiles(at.Receive()) != kSuccess || !at) return kFailure;
  while (!at->IsDone()) {
    const AutoPtr<IHdlFile> file(at->Current());
    if (RemoveOriginator(file.Get(), m_source.Get()) == kSuccess && OriginatorCount(file.Get()) == 0 &&
        !IsProjectFileType(file.Get())) {
      // The project removes only files it is an originator of.
      AddOriginator(file.Get(), m_destination.Get());
      if (files->ProjectRemoveFile(at.Get()) == kSuccess) continue;  // already on the next file
      // Kept (a read-only project, say): it still came from the child.
      std::ignore = RemoveOriginator(file.Get(), m_destination.Get());
      AddOriginator(file.Get(), m_source.Get());
    }
    std::ignore = at->Next();
  }
  return kSuccess;
}

void FileComposer::AddCoreDescriptionFile() {
  const String path = JoinPaths(ChangeExtension(GetObjectFullPath(m_source.Get()), ".mdx"), String());
  if (path.empty() || DestinationFile(path)) return;
  AutoCast<IProjectInternal> internal(m_destination.Get());
  AutoRelease<IHdlFile> added;
  if (!internal || internal->ProjectAddFile(path, nullptr, added.Receive()) != kSuccess || !added) return;
  AutoRelease<IView> view = FindViewByName(m_destination.Get(), "SynthesisOnly");
  AddFileToViewAsDesignUnit(view.Get(), added.Get());
}

void FileComposer::SetComposedFilesLocators() {
  if (m_files.empty()) return;
  const String childPath = GetObjectFullPath(m_source.Get());
  AutoRelease<IHlcFileTypeHelper> helper(CitP::Factory::CreateInstance(HlcFileTypeHelperClassId()));
  if (helper) std::ignore = helper->SetFileName(childPath);
  AutoRelease<CitI::IInterface> named;
  std::ignore = FindNamedObjectIn(m_destination.Get(), "Configuration", named.Receive());
  AutoCast<IConfiguration> configuration(named.Get());
  if (!configuration) {
    String path;
    if (helper && helper->GetPathInDesign(&path) == kSuccess && !path.empty()) AddLocatorToComposedFiles("/" + path.str());
    return;
  }
  AutoRelease<IConfigurationElementIterator> elements;
  if (configuration->GetElements(elements.Receive()) != kSuccess || !elements) return;
  for (std::ignore = elements->Reset(); !elements->IsDone(); std::ignore = elements->Next()) {
    IConfigurationElement* element = elements->Current();
    AutoRelease<CitI::IInterface> flavor;
    if (element == nullptr || element->GetFlavor(flavor.Receive()) != kSuccess) continue;
    if (Port::File::namematch(GetObjectFullPath(flavor.Get()).c_str(), childPath.c_str()) != 1) continue;
    // The static element chooses no module: it has no instance path of its own.
    AutoRelease<IPRModule> module;
    String instancePath;
    if (element->GetPRModule(module.Receive()) == kSuccess && module &&
        module->GetInstancePath(instancePath) == kSuccess && !instancePath.empty())
      AddLocatorToComposedFiles(instancePath);
  }
}

void FileComposer::AddLocatorToComposedFiles(const String& locator) {
  for (const AutoPtr<IFile>& file : m_files) {
    AutoRelease<IFile> destination = DestinationFile(GetObjectFullPath(file.Get()));
    if (AutoCast<IDesignGraphLocatorSet> locators(destination.Get()); locators) std::ignore = locators->Add(locator);
  }
}

Status FileComposer::RemoveComposedFilesFromView(const char* viewName) {
  AutoRelease<IView> view = FindViewByName(m_destination.Get(), viewName);
  AutoCast<IHdlDesignUnitSet> units(view.Get());
  AutoRelease<IHdlDesignUnitIterator> members;
  if (!units || units->GetIterator(members.Receive()) != kSuccess || !members) return kFailure;
  for (const AutoPtr<IFile>& file : m_files) {
    const String path = GetObjectFullPath(file.Get());
    if (!DestinationFile(path)) continue;
    for (std::ignore = members->Reset(); !members->IsDone(); std::ignore = members->Next()) {
      if (Port::File::namematch(GetObjectFullPath(members->Current()).c_str(), path.c_str()) == 1) {
        std::ignore = units->Remove(members.Get());
        break;
      }
    }
  }
  return kFailure;
}

String GetFileLibraryName(CitI::IInterface* file) {
  AutoCast<ISourceLibraryMember> member(file);
  AutoRelease<ISourceLibrary> library;
  String name;
  if (!member || member->GetLibrary(library.Receive()) != kSuccess || !library) return name;
  if (AutoCast<Prjrep::IName> named(library.Get()); named) std::ignore = named->GetName(name);
  return name;
}

AutoRelease<ISourceLibrary> FindOrCreateSourceLibrary(IProject* project, const String& name) {
  AutoCast<ISourceLibraryManager> libraries(project);
  AutoRelease<ISourceLibrary> library;
  if (name.empty() || !libraries) return library;
  std::ignore = libraries->FindSourceLibrary(name, library.Receive());
  if (!library) std::ignore = libraries->CreateSourceLibrary(name, library.ReleaseAndReceive());
  return library;
}

void CopyPropertyValueBetween(IProject* first, IProject* second, const char* name) {
  AutoRelease<IPropertyInstance> to = FindPropertyInstance(first, name);
  AutoRelease<IPropertyInstance> from = FindPropertyInstance(second, name);
  String value;
  if (to && from && from->GetValue(&value) == kSuccess) std::ignore = to->SetValue(value);
}

bool HasOriginatorMatching(CitI::IInterface* object, CitI::IInterface* file) {
  AutoCast<IOriginatorRef> originators(file);
  if (!originators) return true;
  AutoRelease<Prjrep::IAutonymIterator> at;
  std::ignore = originators->FindOriginator(object, at.Receive());
  return at && !at->IsDone();
}

}  // namespace Hvd
