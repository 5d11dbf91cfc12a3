// Diagnostic dumps of what the migration read and what it will carry over.

#include <string>

#include "CitP/Factory.h"
#include "Hvd/IDumper.h"
#include "Port/FileName.h"
#include "projectfiles/RepoMine.h"

using Hvd::kSuccess;
using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

namespace {

String IdText(const Port::XUID& id) {
  String text;
  id.GetValue(text);
  return text;
}

String Number(std::int64_t value) { return String(std::to_string(value)); }

// One element with its attributes, ended at once.
void Element(Hvd::IDumper* dumper, const char* name, std::initializer_list<std::pair<const char*, String>> attributes) {
  std::ignore = dumper->BeginElement(name);
  for (const auto& [key, value] : attributes) std::ignore = dumper->AddAttribute(key, value);
  std::ignore = dumper->EndElement();
}

AutoRelease<Hvd::IDumper> MakeDumper() {
  return AutoRelease<Hvd::IDumper>(CitP::Factory::CreateInstance(Hvd::ClassId::DumperComp()));
}

}  // namespace

void RepoMine::DumpRepository() {
  AutoRelease<Hvd::IDumper> dumper = MakeDumper();
  if (!dumper) return;
  const Port::FileName name(m_fileName);
  const String path = name.GetHead() + name.GetBase() + "_comps" + ".xml";
  std::ignore = Port::File::remove_f(path);
  if (dumper->Open(path) != kSuccess) return;
  Element(dumper.Get(), "corvane_project", {{"file", m_fileName}});
  const MigrationState& state = *m_state;
  auto each = [](const auto& list, auto write) {
    for (const auto& loader : list) write(loader.get());
  };
  each(state.DbObjects, [&](PersistHelper* loader) {
    if (auto* element = dynamic_cast<HdlElementLoader*>(loader))
      Element(dumper.Get(), "hdl_element",
              {{"id", IdText(element->Id())}, {"ddm_du", IdText(element->DesignUnitId)}, {"parent", IdText(element->ParentId)}});
  });
  each(state.DbObjects, [&](PersistHelper* loader) {
    if (auto* holder = dynamic_cast<ParserConfigHolderLoader*>(loader))
      Element(dumper.Get(), "parser_config_holder", {{"id", IdText(holder->Id())}, {"parent", IdText(holder->ParentId)}});
  });
  each(state.DbObjects, [&](PersistHelper* loader) {
    if (auto* file = dynamic_cast<HdlFileLoader*>(loader))
      Element(dumper.Get(), "hdl_file",
              {{"id", IdText(file->Id())}, {"filename", file->FileName}, {"ddm_file", IdText(file->FusedDdmFileId)}});
  });
  each(state.DesignUnits, [&](PersistHelper* loader) {
    if (auto* du = dynamic_cast<DdmDesignUnitLoader*>(loader))
      Element(dumper.Get(), "ddm_du",
              {{"id", IdText(du->Id())}, {"xuid_key_map", IdText(du->KeyMapId)},
               {"view_association", IdText(du->ViewAssocId)}, {"hdl_du", IdText(du->FusedHdlElementId)}});
  });
  each(state.Others, [&](PersistHelper* loader) {
    auto* file = dynamic_cast<DdmFileLoader*>(loader);
    if (file == nullptr) return;
    std::ignore = dumper->BeginElement("ddm_file");
    std::ignore = dumper->AddAttribute("id", IdText(file->Id()));
    if (!file->FileName.empty()) std::ignore = dumper->AddAttribute("filename", file->FileName);
    if (!file->LibraryName.empty()) std::ignore = dumper->AddAttribute("source_library_name", file->LibraryName);
    std::ignore = dumper->AddAttribute("association", Number(static_cast<std::int32_t>(file->AssociationBits)));
    std::ignore = dumper->AddAttribute("origination_type", file->Origination);
    std::ignore = dumper->AddAttribute("hdl_file", IdText(file->HdlFileId));
    std::ignore = dumper->AddAttribute("source_library", IdText(file->LibraryId));
    std::ignore = dumper->AddAttribute("xuid_key_map", IdText(Port::XUID()));
    std::ignore = dumper->AddAttribute("view_association", IdText(file->ViewAssocId));
    std::ignore = dumper->EndElement();
  });
  each(state.Others, [&](PersistHelper* loader) {
    if (auto* assoc = dynamic_cast<ViewAssocLoader*>(loader))
      Element(dumper.Get(), "view_association",
              {{"id", IdText(assoc->Id())}, {"bit_field", Number(static_cast<std::int32_t>(assoc->Bits))}});
  });
  each(state.Others, [&](PersistHelper* loader) {
    if (auto* map = dynamic_cast<XuidKeyMapLoader*>(loader))
      Element(dumper.Get(), "xuid_key_map", {{"id", IdText(map->Id())}, {"view_association", IdText(map->ViewAssocId)}});
  });
  each(state.Others, [&](PersistHelper* loader) {
    if (auto* library = dynamic_cast<SourceLibraryLoader*>(loader))
      Element(dumper.Get(), "source_library", {{"id", IdText(library->Id())}, {"name", library->Name}});
  });
  each(state.Others, [&](PersistHelper* loader) {
    if (auto* snapshot = dynamic_cast<CheckPointLoader*>(loader))
      Element(dumper.Get(), "checkpoint",
              {{"id", IdText(snapshot->Id())}, {"name", snapshot->Name}, {"comment", snapshot->Comment},
               {"hlc_filename", snapshot->HlcFileName}});
  });
  for (const auto& [key, value] : state.Properties) Element(dumper.Get(), "property", {{"name", key}, {"value", value}});
  std::ignore = dumper->Close();
}

void RepoMine::DumpProjectSummary() {
  AutoRelease<Hvd::IDumper> dumper = MakeDumper();
  if (!dumper || dumper->Open(m_fileName + ".xml") != kSuccess) return;
  std::ignore = dumper->BeginElement("corvane_project");
  std::ignore = dumper->AddAttribute("file", m_fileName);
  std::ignore = dumper->BeginElement("files");
  for (const auto& other : m_state->Others) {
    if (auto* file = dynamic_cast<DdmFileLoader*>(other.get()))
      Element(dumper.Get(), "file",
              {{"name", file->FileName}, {"origination_type", file->Origination}, {"library", file->LibraryName},
               {"association", Number(static_cast<std::int32_t>(file->AssociationBits))}});
  }
  std::ignore = dumper->EndElement();
  std::ignore = dumper->BeginElement("properties");
  for (const auto& [key, value] : m_state->Properties) Element(dumper.Get(), "property", {{"name", key}, {"value", value}});
  std::ignore = dumper->EndElement();
  std::ignore = dumper->Close();
}
