#include "Prjrep/OldRepositoryWriter.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "Prjrep/IObjTable.h"
#include "Prjrep/OldRecords.h"
#include "Prjrep/Storage.h"
#include "core/Holders.h"

namespace Prjrep::old {
namespace {

using Hvd::kSuccess;
using Text = Port::StringBase<char>;

// The storage that holds the key sections, as the repository keeps them: one item per
// section with its keys and values as alternating strings.
constexpr char kKeySections[] = "#keys";

AutoRelease<IStorage> Load(const std::string& path) {
  AutoRelease<IStorage> root(CreateStorage());
  if (AutoCast<IStorageControl>(root.Get())->LoadFromFile(path.c_str()) != kSuccess) return nullptr;
  return root;
}

AutoRelease<IStorage> Child(IStorage* parent, const std::string& name, std::int32_t mode) {
  AutoRelease<IStorage> child;
  if (parent == nullptr || parent->OpenStorage(Text(name), mode, child.Receive()) != kSuccess) return nullptr;
  return child;
}

}  // namespace

RepositoryWriter::RepositoryWriter() : m_root(CreateStorage()) {}
// The writer holds the tree's one reference.
RepositoryWriter::~RepositoryWriter() { AutoRelease<IStorage> drop(m_root); }

IStorage* RepositoryWriter::Area(const std::string& area) {
  // Borrowed: the tree keeps its children.
  AutoRelease<IStorage> child = Child(m_root, area, kCreate);
  return child.Get();
}

void RepositoryWriter::SetProjectVersion(std::int32_t version) {
  AutoRelease<IStorage> main = Child(Area("Corvane"), "hvd_project_main", kCreate);
  AutoRelease<IStorage> stream;
  if (main && main->OpenItem("hvd_project_main", kCreate, stream.Receive()) == kSuccess)
    std::ignore = WriteVersion(stream.Get(), version);
}

IStorage* RepositoryWriter::AddObject(const Port::XUID& instanceId, const Port::XUID& classId,
                                      const std::string& area) {
  AutoRelease<IStorage> table = Child(Area(area), kObjectTable, kCreate);
  if (!table) return nullptr;
  char name[16];
  std::snprintf(name, sizeof name, "%010d", m_entries++);
  AutoRelease<IStorage> entry;
  if (table->OpenItem(name, kCreate, entry.Receive()) != kSuccess) return nullptr;
  std::ignore = WriteXuid(entry.Get(), instanceId);
  std::ignore = WriteXuid(entry.Get(), classId);
  return entry.Get();
}

void RepositoryWriter::AddArea(const std::string& area, bool withContent) {
  IStorage* storage = Area(area);
  if (storage != nullptr && withContent) std::ignore = WriteInt(storage, 1);
}

void RepositoryWriter::SetKey(const std::string& section, const std::string& key, const std::string& value) {
  AutoRelease<IStorage> sections = Child(m_root, kKeySections, kCreate);
  if (!sections) return;
  std::vector<std::pair<Text, Text>> pairs;
  AutoRelease<IStorage> item;
  if (sections->OpenItem(Text(section), kRead, item.Receive()) == kSuccess) {
    Text k, v;
    while (item->ReadString(&k) == kSuccess && item->ReadString(&v) == kSuccess) {
      if (k != Text(key)) pairs.emplace_back(k, v);
    }
  }
  pairs.emplace_back(Text(key), Text(value));
  if (sections->OpenItem(Text(section), kCreate, item.ReleaseAndReceive()) != kSuccess) return;
  for (const auto& [k, v] : pairs) {
    std::ignore = item->WriteString(&k);
    std::ignore = item->WriteString(&v);
  }
}

bool RepositoryWriter::Save(const std::string& path) {
  return AutoCast<IStorageControl>(m_root)->SaveToFile(path.c_str()) == kSuccess;
}

std::int64_t CountAreaContents(const std::string& path, const std::string& area) {
  AutoRelease<IStorage> storage = Child(Load(path).Get(), area, kOpenExisting);
  std::int64_t count = -1;
  if (AutoCast<IStorageContents> contents(storage.Get()); contents) std::ignore = contents->CountContents(&count);
  return count;
}

std::int64_t CountObjects(const std::string& path, const std::string& area) {
  AutoRelease<IStorage> storage = Child(Load(path).Get(), area, kOpenExisting);
  AutoCast<IObjTableAccess> access(storage.Get());
  AutoRelease<IObjectTableInfoIterator> it;
  if (!access || access->GetObjectTableIterator(it.Receive()) != kSuccess) return -1;
  std::int64_t count = 0;
  for (std::ignore = it->Reset(); !it->IsDone(); std::ignore = it->Next()) ++count;
  return count;
}

std::string ReadKey(const std::string& path, const std::string& section, const std::string& key) {
  AutoRelease<IStorage> sections = Child(Load(path).Get(), kKeySections, kOpenExisting);
  AutoRelease<IStorage> item;
  if (!sections || sections->OpenItem(Text(section), kRead, item.Receive()) != kSuccess) return std::string();
  Text k, v;
  while (item->ReadString(&k) == kSuccess && item->ReadString(&v) == kSuccess) {
    if (k == Text(key)) return v.str();
  }
  return std::string();
}

}  // namespace Prjrep::old
