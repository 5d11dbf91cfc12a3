// The hierarchical-design project stand-in: partitions kept in memory, in the order they
// were made, and written out as text when asked.

#include "HdcI/HDProjectStandIn.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "HdcI/IHDProject.h"
#include "Hvd/IProjectHelper.h"
#include "Prjrep/IPersist.h"
#include "Prjrep/IStorage.h"
#include "core/AtomicFile.h"
#include "core/Factory.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace HdcI {
namespace {

using Hvd::kFailure;
using Hvd::kInvalidParameter;
using Hvd::kSuccess;
using Hvd::Status;
using Hvd::TNested;
using Text = Port::StringBase<char>;

constexpr std::int32_t kStages = 5, kFlags = 3, kTexts = 6, kSettings = 4;
// A stored list longer than this is taken for a corrupt record.
constexpr std::int32_t kMaxListEntries = 1 << 20;

template <class T, std::size_t N>
bool InRange(std::int32_t index, const std::array<T, N>&) {
  return index >= 0 && static_cast<std::size_t>(index) < N;
}

// An iterator over a fixed list, taken when it was made.
template <class IIterator, class T, class Held>
class TListIterator final : public Hvd::TComponent<TListIterator<IIterator, T, Held>, IIterator> {
 public:
  explicit TListIterator(std::vector<Held> items) : m_items(std::move(items)) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IIterator>(this), Hvd::Row<CommonI::IRefCount>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(this));
  }
  T Current() override {
    if (m_at >= m_items.size()) return T{};
    if constexpr (std::is_pointer_v<T>) {
      return m_items[m_at].Get();
    } else {
      return m_items[m_at];
    }
  }
  Status Reset() override {
    m_at = 0;
    return kSuccess;
  }
  Status Next() override {
    if (m_at >= m_items.size()) return kFailure;
    ++m_at;
    return kSuccess;
  }
  bool IsDone() override { return m_at >= m_items.size(); }

 private:
  std::vector<Held> m_items;
  std::size_t m_at = 0;
  CommonI::TRefCountHelper<TListIterator, 0> m_refCount{this};
};

using CPartitionIterator = TListIterator<IPartitionIterator, IPartition*, Prjrep::AutoPtr<IPartition>>;
using CStringIterator = TListIterator<Prjrep::IStringIterator, Text, Text>;

class CPartition final : public Hvd::TComponent<CPartition, IPartition> {
 public:
  CITI_DECLARE_CLSID("{8e3f5a27-14c9-4d60-a2b8-7f0c1d9e6b35}")

  explicit CPartition(Text name) : m_name(std::move(name)) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IPartition>(this), Hvd::Row<IPartitionStage>(&m_stage),
                      Hvd::Row<IPartitionText>(&m_text), Hvd::Row<Prjrep::IPersist>(&m_persist),
                      Hvd::Row<CommonI::IRefCount>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }

  const Text& Name() const { return m_name; }
  void Write(std::string& out) const;

  Status SetTop(bool top) override {
    m_top = top;
    return kSuccess;
  }
  Status IsTop(bool* top) override {
    if (top == nullptr) return kInvalidParameter;
    *top = m_top;
    return kSuccess;
  }
  Status GetName(Text* name) override {
    if (name == nullptr) return kInvalidParameter;
    *name = m_name;
    return kSuccess;
  }
  Status SetName(const Text& name) override {
    m_name = name;
    return kSuccess;
  }
  Status SetStageStamp(std::int32_t stage, std::int64_t stamp) override { return Set(m_stamps, stage, stamp); }
  Status GetStageStamp(std::int32_t stage, std::int64_t* stamp) override { return Get(m_stamps, stage, stamp); }
  Status SetStageFlag(std::int32_t index, std::uint8_t flag) override { return Set(m_flags, index, flag); }
  Status GetStageFlag(std::int32_t index, std::uint8_t* flag) override { return Get(m_flags, index, flag); }
  Status SetSingleValue(std::int64_t value) override {
    m_single = value;
    return kSuccess;
  }
  Status GetSingleValue(std::int64_t* value) override {
    if (value == nullptr) return kInvalidParameter;
    *value = m_single;
    return kSuccess;
  }
  Status SetSourceFile(const Text& path) override {
    m_source = path;
    return kSuccess;
  }
  Status GetSourceFile(Text* path) override {
    if (path == nullptr) return kInvalidParameter;
    *path = m_source;
    return kSuccess;
  }
  Status AddListEntry(const Text& entry) override {
    m_list.push_back(entry);
    return kSuccess;
  }
  Status GetListEntries(Prjrep::IStringIterator** entries) override {
    Prjrep::AutoOut<Prjrep::IStringIterator> out(entries);
    if (entries == nullptr) return kInvalidParameter;
    Prjrep::AutoRelease<Prjrep::IStringIterator> made(new CStringIterator(m_list));
    return out.Assign(made.Get());
  }
  Status ClearList() override {
    m_list.clear();
    return kSuccess;
  }
  Status SetKept(bool kept) override {
    m_kept = kept;
    return kSuccess;
  }

 private:
  template <class T, std::size_t N>
  static Status Set(std::array<T, N>& values, std::int32_t index, T value) {
    if (!InRange(index, values)) return kInvalidParameter;
    values[static_cast<std::size_t>(index)] = value;
    return kSuccess;
  }
  template <class T, std::size_t N>
  static Status Get(const std::array<T, N>& values, std::int32_t index, T* value) {
    if (value == nullptr || !InRange(index, values)) return kInvalidParameter;
    *value = values[static_cast<std::size_t>(index)];
    return kSuccess;
  }

  struct XIPartitionStage : TNested<CPartition, IPartitionStage> {
    using TNested::TNested;
    Status SetPrimaryStamp(std::int32_t stage, std::int64_t stamp) override { return Set(This().m_primary, stage, stamp); }
    Status GetPrimaryStamp(std::int32_t stage, std::int64_t* stamp) override {
      return Get(This().m_primary, stage, stamp);
    }
    Status SetSecondaryStamp(std::int32_t stage, std::int64_t stamp) override {
      return Set(This().m_secondary, stage, stamp);
    }
    Status GetSecondaryStamp(std::int32_t stage, std::int64_t* stamp) override {
      return Get(This().m_secondary, stage, stamp);
    }
  } m_stage{this};

  struct XIPartitionText : TNested<CPartition, IPartitionText> {
    using TNested::TNested;
    Status SetText(std::int32_t index, const Text& text) override { return Set(This().m_texts, index, text); }
    Status GetText(std::int32_t index, Text* text) override { return Get(This().m_texts, index, text); }
  } m_text{this};

  // Everything the partition holds, in a fixed order.
  struct XIPersist : TNested<CPartition, Prjrep::IPersist> {
    using TNested::TNested;
    Status PersistLoad(Prjrep::IStorage* storage) override;
    Status PersistSave(Prjrep::IStorage* storage) override;
    Status GetClassId(Port::XUID& out) override {
      out = CPartition::GetCLSID();
      return kSuccess;
    }
    Status GetId(Port::XUID& out) override {
      out = This().m_id;
      return kSuccess;
    }
    Status SetId(const Port::XUID& id) override {
      This().m_id = id;
      return kSuccess;
    }
  } m_persist{this};

  Text m_name;
  bool m_top = false;
  bool m_kept = false;
  std::array<std::int64_t, kStages> m_stamps{};
  std::array<std::int64_t, kStages> m_primary{};
  std::array<std::int64_t, kStages> m_secondary{};
  std::array<std::uint8_t, kFlags> m_flags{};
  std::array<Text, kTexts> m_texts{};
  std::int64_t m_single = 0;
  Text m_source;
  std::vector<Text> m_list;
  Port::XUID m_id;
  CommonI::TRefCountHelper<CPartition, 0> m_refCount{this};
};

// Stops at the first failed read; the partition changes only when the whole record was read.
Status CPartition::XIPersist::PersistLoad(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kInvalidParameter;
  CPartition read(Text{});
  const auto step = [&](Status status) { return status == kSuccess; };
  std::int32_t count = 0;
  bool ok = step(storage->ReadString(&read.m_name)) && step(storage->ReadBool(&read.m_top)) &&
            step(storage->ReadBool(&read.m_kept)) && step(storage->ReadInt64(&read.m_single)) &&
            step(storage->ReadString(&read.m_source));
  for (std::int32_t stage = 0; ok && stage < kStages; ++stage) {
    const auto at = static_cast<std::size_t>(stage);
    ok = step(storage->ReadInt64(&read.m_stamps[at])) && step(storage->ReadInt64(&read.m_primary[at])) &&
         step(storage->ReadInt64(&read.m_secondary[at]));
  }
  for (std::size_t index = 0; ok && index < read.m_flags.size(); ++index) {
    std::int32_t flag = 0;
    ok = step(storage->ReadInt32(&flag));
    read.m_flags[index] = static_cast<std::uint8_t>(flag);
  }
  for (std::size_t index = 0; ok && index < read.m_texts.size(); ++index) ok = step(storage->ReadString(&read.m_texts[index]));
  ok = ok && step(storage->ReadInt32(&count)) && count >= 0 && count <= kMaxListEntries;
  for (std::int32_t entry = 0; ok && entry < count; ++entry) {
    Text text;
    ok = step(storage->ReadString(&text));
    read.m_list.push_back(text);
  }
  if (!ok) return kFailure;
  CPartition& self = This();
  self.m_name = read.m_name, self.m_top = read.m_top, self.m_kept = read.m_kept, self.m_single = read.m_single;
  self.m_source = read.m_source, self.m_stamps = read.m_stamps, self.m_primary = read.m_primary;
  self.m_secondary = read.m_secondary, self.m_flags = read.m_flags, self.m_texts = read.m_texts;
  self.m_list = std::move(read.m_list);
  return kSuccess;
}

Status CPartition::XIPersist::PersistSave(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kInvalidParameter;
  const CPartition& self = This();
  const auto step = [&](Status status) { return status == kSuccess; };
  bool ok = step(storage->WriteString(&self.m_name)) && step(storage->WriteBool(self.m_top)) &&
            step(storage->WriteBool(self.m_kept)) && step(storage->WriteInt64(self.m_single)) &&
            step(storage->WriteString(&self.m_source));
  for (std::size_t at = 0; ok && at < self.m_stamps.size(); ++at)
    ok = step(storage->WriteInt64(self.m_stamps[at])) && step(storage->WriteInt64(self.m_primary[at])) &&
         step(storage->WriteInt64(self.m_secondary[at]));
  for (std::size_t at = 0; ok && at < self.m_flags.size(); ++at) ok = step(storage->WriteInt32(self.m_flags[at]));
  for (std::size_t at = 0; ok && at < self.m_texts.size(); ++at) ok = step(storage->WriteString(&self.m_texts[at]));
  ok = ok && step(storage->WriteInt32(static_cast<std::int32_t>(self.m_list.size())));
  for (std::size_t at = 0; ok && at < self.m_list.size(); ++at) ok = step(storage->WriteString(&self.m_list[at]));
  return ok ? kSuccess : kFailure;
}

void CPartition::Write(std::string& out) const {
  out += "partition " + m_name.str() + "\n";
  out += std::string("  top ") + (m_top ? "1" : "0") + " kept " + (m_kept ? "1" : "0") + " single " +
         std::to_string(m_single) + "\n";
  out += "  source " + m_source.str() + "\n";
  for (std::size_t at = 0; at < m_stamps.size(); ++at)
    out += "  stage " + std::to_string(at) + " " + std::to_string(m_stamps[at]) + " " + std::to_string(m_primary[at]) +
           " " + std::to_string(m_secondary[at]) + "\n";
  for (std::size_t at = 0; at < m_flags.size(); ++at) out += "  flag " + std::to_string(at) + " " + std::to_string(m_flags[at]) + "\n";
  for (std::size_t at = 0; at < m_texts.size(); ++at) out += "  text " + std::to_string(at) + " " + m_texts[at].str() + "\n";
  for (const Text& entry : m_list) out += "  entry " + entry.str() + "\n";
}

// The number of "/"-separated components of a partition name.
std::size_t Depth(const std::string& name) {
  return static_cast<std::size_t>(std::count(name.begin(), name.end(), '/'));
}

class CHDProject final : public Hvd::TComponent<CHDProject, IHDProject> {
 public:
  static const Port::XUID& GetCLSID() { return HDProjectClassId(); }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IHDProject>(this), Hvd::Row<IHDProjectSetup>(&m_setup),
                      Hvd::Row<CommonI::IRefCount>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }

  Status GetFileName(Text* path) override {
    if (path == nullptr) return kInvalidParameter;
    *path = m_path;
    return kSuccess;
  }
  Status GetOwner(CitI::IInterface** owner) override {
    Prjrep::AutoOut<CitI::IInterface> out(owner);
    if (owner == nullptr || m_owner.Get() == nullptr) return kFailure;
    return out.Assign(m_owner.Get());
  }
  // Through a temporary beside the file, so that a failed write leaves the old one whole.
  Status Write(const Text& path, Hvd::IProjectHelper*) override {
    if (path.empty()) return kFailure;
    std::string text = "hdproject 1\n";
    for (std::size_t index = 0; index < m_paths.size(); ++index)
      text += "path " + std::to_string(index) + " " + m_paths[index].str() + "\n";
    for (std::size_t index = 0; index < m_texts.size(); ++index)
      text += "text " + std::to_string(index) + " " + m_texts[index].str() + "\n";
    for (const auto& partition : m_partitions) partition->Write(text);
    return Hvd::WriteFileAtomically(path.str(), text);
  }
  Status PrepareWrite() override { return kSuccess; }
  Status CreatePartition(const Text& name, IPartition** partition) override {
    Prjrep::AutoOut<IPartition> out(partition);
    if (name.empty() || name.str()[0] != '/' || Find(name) != nullptr) return kFailure;
    m_partitions.emplace_back(Prjrep::AutoRelease<CPartition>(new CPartition(name)));
    return out.Assign(m_partitions.back().Get());
  }
  // The first partition of one component.
  Status GetRootPartition(IPartition** partition) override {
    Prjrep::AutoOut<IPartition> out(partition);
    for (const auto& held : m_partitions)
      if (Depth(held->Name().str()) == 1) return out.Assign(held.Get());
    return kFailure;
  }
  Status FindPartition(const Text& name, IPartition** partition) override {
    Prjrep::AutoOut<IPartition> out(partition);
    CPartition* found = Find(name);
    return found != nullptr ? out.Assign(found) : kFailure;
  }
  Status GetPartitions(IPartitionIterator** partitions) override {
    return HandOut(partitions, [](const CPartition&) { return true; });
  }
  // A partition is its own record.
  Status GetPartitionRecord(IPartition* partition, IPartition** record) override {
    Prjrep::AutoOut<IPartition> out(record);
    CPartition* member = Member(partition);
    return member != nullptr ? out.Assign(member) : kFailure;
  }
  Status GetChildPartitions(IPartition* partition, IPartitionIterator** children) override {
    CPartition* parent = Member(partition);
    if (parent == nullptr) {
      Prjrep::AutoOut<IPartitionIterator> cleared(children);
      return kFailure;
    }
    const std::string prefix = parent->Name().str() + "/";
    return HandOut(children, [&](const CPartition& p) {
      const std::string& name = p.Name().str();
      return name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
             name.find('/', prefix.size()) == std::string::npos;
    });
  }
  Status RemovePartition(IPartition* partition) override {
    CPartition* member = Member(partition);
    if (member == nullptr) return kFailure;
    std::erase_if(m_partitions, [&](const auto& held) { return held.Get() == member; });
    return kSuccess;
  }
  Status SetPathSetting(std::int32_t index, const Text& path) override { return SetAt(m_paths, index, path); }
  Status GetPathSetting(std::int32_t index, Text* path) override { return GetAt(m_paths, index, path); }
  Status SetTextSetting(std::int32_t index, const Text& text) override { return SetAt(m_texts, index, text); }
  Status GetTextSetting(std::int32_t index, Text* text) override { return GetAt(m_texts, index, text); }

 private:
  static Status SetAt(std::array<Text, kSettings>& values, std::int32_t index, const Text& value) {
    if (!InRange(index, values)) return kInvalidParameter;
    values[static_cast<std::size_t>(index)] = value;
    return kSuccess;
  }
  static Status GetAt(const std::array<Text, kSettings>& values, std::int32_t index, Text* value) {
    if (value == nullptr || !InRange(index, values)) return kInvalidParameter;
    *value = values[static_cast<std::size_t>(index)];
    return kSuccess;
  }
  CPartition* Find(const Text& name) {
    for (const auto& held : m_partitions)
      if (held->Name() == name) return held.Get();
    return nullptr;
  }
  // The partition when it is one of this project's.
  CPartition* Member(IPartition* partition) {
    for (const auto& held : m_partitions)
      if (static_cast<IPartition*>(held.Get()) == partition) return held.Get();
    return nullptr;
  }
  template <class Keep>
  Status HandOut(IPartitionIterator** iterator, Keep keep) {
    Prjrep::AutoOut<IPartitionIterator> out(iterator);
    if (iterator == nullptr) return kInvalidParameter;
    std::vector<Prjrep::AutoPtr<IPartition>> kept;
    for (const auto& held : m_partitions)
      if (keep(*held.Get())) kept.emplace_back(static_cast<IPartition*>(held.Get()));
    Prjrep::AutoRelease<IPartitionIterator> made(new CPartitionIterator(std::move(kept)));
    return out.Assign(made.Get());
  }

  struct XIHDProjectSetup : TNested<CHDProject, IHDProjectSetup> {
    using TNested::TNested;
    Status Bind(const Text& path, CitI::IInterface* owner) override {
      This().m_path = path;
      This().m_owner = owner;
      return kSuccess;
    }
  } m_setup{this};

  Text m_path;
  Prjrep::AutoPtr<CitI::IInterface> m_owner;
  std::vector<Prjrep::AutoPtr<CPartition>> m_partitions;
  std::array<Text, kSettings> m_paths{};
  std::array<Text, kSettings> m_texts{};
  CommonI::TRefCountHelper<CHDProject, 0> m_refCount{this};
};

}  // namespace

void RegisterHDProject() { Hvd::RegisterFactoriesOf<CHDProject>(); }

}  // namespace HdcI
