// The hierarchical-design project stand-in: partitions kept in memory, in the order they
// were made, written out as text when asked and read back when the project opens again.

#include "HdcI/HDProjectStandIn.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "CitP/Factory.h"
#include "HdcI/IHDProject.h"
#include "Hvd/EventIds.h"
#include "Hvd/IDesign.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/ITclInterp.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Port/FileName.h"
#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IEvents.h"
#include "Prjrep/IName.h"
#include "Prjrep/IPersist.h"
#include "Prjrep/IStorage.h"
#include "core/AtomicFile.h"
#include "core/Events.h"
#include "core/Factory.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RegularFile.h"
#include "core/RefCount.h"
#include "core/XmlChars.h"

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
// A partition file larger than this, or with more partitions, is taken for a corrupt one.
constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{64} << 20;
constexpr std::size_t kMaxPartitions = std::size_t{1} << 20;

// A value is kept on one line: a backslash, a line end and a carriage return are escaped.
std::string Escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

// A value the file keeps takes only what every project file can hold; a refusal is told.
bool Fits(const char* what, const Text& value) { return Hvd::XmlFits("ProjectMgmt", what, value.str()); }

// False for an escape that Escape does not write.
bool Unescape(const std::string& text, Text* out) {
  std::string plain;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '\\') {
      plain += text[at];
      continue;
    }
    if (++at == text.size()) return false;
    switch (text[at]) {
      case '\\': plain += '\\'; break;
      case 'n': plain += '\n'; break;
      case 'r': plain += '\r'; break;
      default: return false;
    }
  }
  *out = Text(plain);
  return true;
}

// A whole decimal number, else false.
template <class T>
bool Number(const std::string& text, T* value) {
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, *value);
  return error == std::errc() && at == end && !text.empty();
}

// The text of `rest` before its first blank; `rest` keeps what follows that blank.
std::string Word(std::string& rest) {
  const std::size_t blank = rest.find(' ');
  std::string word = rest.substr(0, blank);
  rest = blank == std::string::npos ? std::string() : rest.substr(blank + 1);
  return word;
}

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
  bool Read(std::string line);

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
    if (!Fits("The partition name", name)) return kInvalidParameter;
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
    if (!Fits("The partition's source file", path)) return kInvalidParameter;
    m_source = path;
    return kSuccess;
  }
  Status GetSourceFile(Text* path) override {
    if (path == nullptr) return kInvalidParameter;
    *path = m_source;
    return kSuccess;
  }
  Status AddListEntry(const Text& entry) override {
    if (!Fits("The partition's entry", entry)) return kInvalidParameter;
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
    Status SetText(std::int32_t index, const Text& text) override {
      if (!Fits("The partition's text", text)) return kInvalidParameter;
      return Set(This().m_texts, index, text);
    }
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
  out += "partition " + Escape(m_name.str()) + "\n";
  out += std::string("  top ") + (m_top ? "1" : "0") + " kept " + (m_kept ? "1" : "0") + " single " +
         std::to_string(m_single) + "\n";
  out += "  source " + Escape(m_source.str()) + "\n";
  for (std::size_t at = 0; at < m_stamps.size(); ++at)
    out += "  stage " + std::to_string(at) + " " + std::to_string(m_stamps[at]) + " " + std::to_string(m_primary[at]) +
           " " + std::to_string(m_secondary[at]) + "\n";
  for (std::size_t at = 0; at < m_flags.size(); ++at) out += "  flag " + std::to_string(at) + " " + std::to_string(m_flags[at]) + "\n";
  for (std::size_t at = 0; at < m_texts.size(); ++at) out += "  text " + std::to_string(at) + " " + Escape(m_texts[at].str()) + "\n";
  for (const Text& entry : m_list) out += "  entry " + Escape(entry.str()) + "\n";
}

// One line of a partition as Write writes it, without its indent; false for any other.
bool CPartition::Read(std::string line) {
  const std::string key = Word(line);
  std::int32_t index = 0;
  const auto indexed = [&](std::size_t size) {
    return Number(Word(line), &index) && index >= 0 && static_cast<std::size_t>(index) < size;
  };
  const auto at = [&] { return static_cast<std::size_t>(index); };
  if (key == "top") {
    const std::string top = Word(line);
    if (Word(line) != "kept") return false;
    const std::string kept = Word(line);
    if (Word(line) != "single" || (top != "0" && top != "1") || (kept != "0" && kept != "1")) return false;
    m_top = top == "1", m_kept = kept == "1";
    return Number(line, &m_single);
  }
  if (key == "source") return Unescape(line, &m_source);
  if (key == "stage") {
    if (!indexed(m_stamps.size())) return false;
    return Number(Word(line), &m_stamps[at()]) && Number(Word(line), &m_primary[at()]) && Number(line, &m_secondary[at()]);
  }
  if (key == "flag") {
    unsigned flag = 0;
    if (!indexed(m_flags.size()) || !Number(line, &flag) || flag > 255) return false;
    m_flags[at()] = static_cast<std::uint8_t>(flag);
    return true;
  }
  if (key == "text") return indexed(m_texts.size()) && Unescape(line, &m_texts[at()]);
  if (key == "entry") {
    Text entry;
    if (m_list.size() >= static_cast<std::size_t>(kMaxListEntries) || !Unescape(line, &entry)) return false;
    m_list.push_back(entry);
    return true;
  }
  return false;
}

// The heading of a partitions file that ends with an end mark, and that of the earlier release,
// whose files have none.
constexpr const char* kHeading = "hdproject 2";
constexpr const char* kEarlierHeading = "hdproject 1";
constexpr const char* kEndMark = "end ";

// What a reading found besides its answer: the comparisons of partition names it made, and why
// a file was refused.
struct ReadReport {
  std::size_t comparisons = 0;
  std::string problem;
};

// What a file was when it was last read or written: another writer's change, which replaces the
// file or rewrites it, shows in one of these.
struct DiskStamp {
  bool present = false;
  bool regular = false;
  std::uint64_t device = 0, inode = 0;
  std::int64_t size = 0, seconds = 0, nanoseconds = 0;
  bool operator==(const DiskStamp&) const = default;
};

DiskStamp StampOf(const std::string& path) {
  DiskStamp stamp;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return stamp;
  stamp.present = true;
  stamp.regular = S_ISREG(info.st_mode);
  stamp.device = info.st_dev, stamp.inode = info.st_ino, stamp.size = info.st_size;
  stamp.seconds = info.st_mtim.tv_sec, stamp.nanoseconds = info.st_mtim.tv_nsec;
  return stamp;
}

// `text` as one Tcl word: every character that Tcl could read as markup is escaped.
std::string TclWord(const std::string& text) {
  if (text.empty()) return "{}";
  std::string word;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      word += "\\n";
    } else if (byte < 0x20 || byte == 0x7F) {
      static constexpr char kHex[] = "0123456789abcdef";
      word += "\\u00";
      word += kHex[byte >> 4];
      word += kHex[byte & 0xF];
    } else {
      if (byte < 0x80 && std::isalnum(byte) == 0) word += '\\';
      word += c;
    }
  }
  return word;
}

// What the user answered when asked whether a file changed on disk is to be read in.
enum class Reload { kYes, kNo, kUnanswered };

// Asks through the suite's dialog whether a file changed on disk is to be read in; without an
// interpreter to ask, the dialog's default, yes. A dialog that fails gave no answer: neither
// reading the file in nor writing over it is the user's choice then.
Reload ReloadWanted(const std::string& path, std::string* why) {
  Prjrep::AutoRelease<Hvd::ITclInterp> interpreter(CitP::Factory::CreateInstance(Hvd::TclInterpClassId()));
  if (!interpreter) return Reload::kYes;
  std::ignore = interpreter->Init(Text());
  const std::string question =
      "The partitions file " + Port::EscapeControls(path) + " has changed on disk.\nWould you like to reload?";
  Text answer;
  if (interpreter->ExecuteCmd(Text("::velmor::Hvd::hvd_DisplayQuestionDialog " + TclWord(question) + " 1\n"), answer,
                              1) != kSuccess) {
    if (why != nullptr) *why = answer.empty() ? std::string("the question could not be asked") : answer.str();
    return Reload::kUnanswered;
  }
  return answer.str() != "2" ? Reload::kYes : Reload::kNo;
}

// Whether two of the partitions have one name. Sorted, so that a file of a million partitions
// is not a trillion comparisons; each comparison is counted in `comparisons` when given.
bool NamedTwice(const std::vector<Prjrep::AutoPtr<CPartition>>& partitions, std::size_t* comparisons) {
  std::vector<std::string_view> names;
  names.reserve(partitions.size());
  for (const auto& held : partitions) names.emplace_back(held->Name().str());
  std::size_t compared = 0;
  std::sort(names.begin(), names.end(), [&](std::string_view a, std::string_view b) {
    ++compared;
    return a < b;
  });
  compared += names.empty() ? 0 : names.size() - 1;
  if (comparisons != nullptr) *comparisons += compared;
  return std::adjacent_find(names.begin(), names.end()) != names.end();
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
  // Through a temporary beside the file, so that a failed write leaves the old one whole. Its own
  // file, changed on disk since this project read or wrote it, is another writer's: the user is
  // asked whether to read it in rather than write over it.
  Status Write(const Text& path, Hvd::IProjectHelper*) override {
    if (path.empty()) return kFailure;
    const bool own = path == m_path;
    if (own && ChangedOnDisk()) {
      std::string why;
      const Reload reload = ReloadWanted(path.str(), &why);
      if (reload == Reload::kUnanswered) {
        Port_MsgManData::createObject("ProjectMgmt", "HDProject", 0, "")
            .issueError("The partitions file \"%s\" changed on disk, and the question whether to read it in or to "
                        "write this project's partitions over it got no answer: %s\nNothing was read in or written.\n",
                        path.c_str(), why.c_str());
        return kFailure;
      }
      if (reload == Reload::kYes) return ReadIn();
    }
    std::string contents = Contents();
    // What this project wrote last and still finds there, as when the shell's close wrote it just
    // before the project's close asks again, is not written a second time.
    if (own && m_writtenStamp && m_written == contents) {
      const DiskStamp now = StampOf(path.str());
      if (now.present && now == *m_writtenStamp) return kSuccess;
    }
    // Written by the project on its own: a link at its name is kept to the project's folder.
    std::string why;
    const Status written =
        Hvd::WriteOwnFileAtomically(path.str(), contents, Port::FileName(path).GetHead().str(), &why);
    if (own && written == kSuccess) {
      m_seen = StampOf(path.str());
      m_writtenStamp = m_seen;
      m_known = contents;
      m_written = std::move(contents);
    }
    if (written != kSuccess) {
      Port_MsgManData::createObject("ProjectMgmt", "HDProject", 0, "")
          .issueError("The partitions file \"%s\" could not be written: %s\n", path.c_str(), why.c_str());
    }
    return written;
  }
  Status PrepareWrite() override { return kSuccess; }
  Status CreatePartition(const Text& name, IPartition** partition) override {
    Prjrep::AutoOut<IPartition> out(partition);
    if (name.empty() || name.str()[0] != '/' || Find(name) != nullptr) return kFailure;
    if (!Fits("The partition name", name)) return kInvalidParameter;
    m_partitions.emplace_back(Prjrep::AutoRelease<CPartition>(new CPartition(name)));
    return out.Assign(m_partitions.back().Get());
  }
  // The first partition of one component.
  Status GetRootPartition(IPartition** partition) override {
    Prjrep::AutoOut<IPartition> out(partition);
    EnsureRoot();
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
    EnsureRoot();
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
  Status SetPathSetting(std::int32_t index, const Text& path) override {
    if (!Fits("The partitions' path setting", path)) return kInvalidParameter;
    return SetAt(m_paths, index, path);
  }
  Status GetPathSetting(std::int32_t index, Text* path) override { return GetAt(m_paths, index, path); }
  Status SetTextSetting(std::int32_t index, const Text& text) override {
    if (!Fits("The partitions' text setting", text)) return kInvalidParameter;
    return SetAt(m_texts, index, text);
  }
  Status GetTextSetting(std::int32_t index, Text* text) override { return GetAt(m_texts, index, text); }

  // The partitions and settings of a file that Write wrote, in place of those held; nothing
  // changes when the file is not whole, and `report` says why.
  Status Read(const Text& path, ReadReport* report = nullptr);
  std::size_t PartitionCount() const { return m_partitions.size(); }

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

  // The root partition of a published project is the partition of its design's top unit: it
  // is there once the design has one.
  void EnsureRoot() {
    if (std::any_of(m_partitions.begin(), m_partitions.end(),
                    [](const auto& held) { return Depth(held->Name().str()) == 1; }))
      return;
    const Text top = TopUnitOf(OpenProject());
    if (top.empty() || top.str().find('/') != std::string::npos) return;
    // A unit's name may hold what the file cannot (a VHDL extended identifier holds any
    // character): such a root would leave a file that no later open reads, so the project has
    // none, as it has none for a name with a "/". Nothing the user asked for is refused: a
    // warning says so, once for each name, not at every look at the partitions.
    const Text root("/" + top.str());
    if (const std::size_t at = Hvd::FindXmlUnfit(root.str()); at != std::string::npos) {
      if (m_refusedRoot != root) {
        Port_MsgManData::createObject("ProjectMgmt", "HDProject", 0, "")
            .issueWarning("The project's top unit \"%s\" gets no root partition: its name holds %s, which the "
                          "partitions file cannot hold.\n",
                          top.c_str(), Hvd::XmlUnfitName(root.str(), at).c_str());
      }
      m_refusedRoot = root;
      return;
    }
    m_partitions.emplace_back(Prjrep::AutoRelease<CPartition>(new CPartition(root)));
    std::ignore = m_partitions.back()->SetTop(true);
  }
  // The file's text: its settings and partitions between a heading and an end mark that counts
  // the lines between them, so that a file cut short, even at a line end, is told from a whole one.
  std::string Contents() const {
    std::string body;
    for (std::size_t index = 0; index < m_paths.size(); ++index)
      body += "path " + std::to_string(index) + " " + Escape(m_paths[index].str()) + "\n";
    for (std::size_t index = 0; index < m_texts.size(); ++index)
      body += "text " + std::to_string(index) + " " + Escape(m_texts[index].str()) + "\n";
    for (const auto& partition : m_partitions) partition->Write(body);
    const auto lines = static_cast<std::size_t>(std::count(body.begin(), body.end(), '\n'));
    return std::string(kHeading) + "\n" + body + kEndMark + std::to_string(lines) + "\n";
  }
  // A file that was not there, or is gone, is no change; one that came since is.
  bool ChangedOnDisk() const {
    if (!m_seen) return false;
    const DiskStamp now = StampOf(m_path.str());
    return now.present && now != *m_seen;
  }
  // The partitions and settings of the file on disk in place of those held. A file that cannot
  // be read is left as it is and nothing is written over it.
  Status ReadIn() {
    const DiskStamp stamp = StampOf(m_path.str());
    std::vector<Text> held;
    for (const auto& partition : m_partitions) held.push_back(partition->Name());
    ReadReport report;
    if (Read(m_path, &report) != kSuccess) {
      Port_MsgManData::createObject("ProjectMgmt", "HDProject", 0, "")
          .issueError("The partitions file \"%s\" has changed on disk and cannot be read in: %s. It is left as it "
                      "is, and the project's partitions are not written over it.\n",
                      m_path.c_str(), report.problem.c_str());
      return kFailure;
    }
    m_seen = stamp;
    m_known = Contents();
    Port_MsgManData::createObject("ProjectMgmt", "HDProject", 0, "")
        .issueInfo("INFO: Reloading the partitions file \"%s\".\n", m_path.c_str());
    std::string dropped;
    for (const Text& name : held) {
      if (Find(name) != nullptr) continue;
      dropped += (dropped.empty() ? "" : ", ") + name.str();
    }
    if (!dropped.empty()) {
      Port_MsgManData::createObject("ProjectMgmt", "HDProject", 0, "")
          .issueWarning("Reading in the partitions file \"%s\" drops the partitions this session made that it "
                        "does not hold: %s.\n",
                        m_path.c_str(), dropped.c_str());
    }
    return kSuccess;
  }
  // A project without partitions or settings needs no file of them.
  bool HoldsAnything() const {
    const auto set = [](const Text& value) { return !value.empty(); };
    return !m_partitions.empty() || std::any_of(m_paths.begin(), m_paths.end(), set) ||
           std::any_of(m_texts.begin(), m_texts.end(), set);
  }
  // The project this one was published for while it is open, else null.
  Hvd::IProject* OpenProject() const { return m_receiver.SenderCount() != 0 ? m_project : nullptr; }

  static Text TopUnitOf(Hvd::IProject* project) {
    Text top;
    Hvd::IDesign* design = nullptr;  // borrowed: the project keeps its design
    if (project == nullptr || project->GetDesign(&design) != kSuccess || design == nullptr) return top;
    Prjrep::AutoCast<Hvd::IViewManager> views(design);
    Prjrep::AutoRelease<Hvd::IViewIterator> at;
    if (views && views->FindViewByHint("VIEW_AbstractSynthesis", at.Receive()) == kSuccess && at && !at->IsDone())
      std::ignore = at->Current()->GetTopName(&top);
    return top;
  }

  Status Publish(CitI::IInterface* project, CitI::IInterface* owner);
  // The file on disk is as this project last read or wrote it, or another program's that reads:
  // a file cut short or a folder at its name is a change on disk the close asks about, since the
  // project then holds the only whole copy of its partitions.
  bool StillReads() const {
    const DiskStamp now = StampOf(m_path.str());
    if (!now.present) return false;
    if (m_seen && now == *m_seen) return true;
    if (!now.regular) return false;
    Prjrep::AutoRelease<CHDProject> probe(new CHDProject);
    return probe->Read(m_path) == kSuccess;
  }
  // A project without partitions or settings, and no file of them, writes none; nor does one
  // whose partitions are as it last read or wrote them, whatever readable file another program
  // wrote since.
  Status WriteForClose() {
    if (m_known && Contents() == *m_known && StillReads()) return kSuccess;
    return HoldsAnything() || Port::File::exist(m_path) ? Write(m_path, nullptr) : kSuccess;
  }
  static Status Receive(CHDProject* self, Prjrep::IEvent* event);

  struct XIHDProjectSetup : TNested<CHDProject, IHDProjectSetup> {
    using TNested::TNested;
    Status Bind(const Text& path, CitI::IInterface* owner) override {
      This().m_path = path;
      This().m_seen.reset();  // a file bound, not read
      This().m_known.reset();
      This().m_owner = owner;
      return kSuccess;
    }
    Status Publish(CitI::IInterface* project, CitI::IInterface* owner) override {
      return This().Publish(project, owner);
    }
    Status WriteAsClosing() override { return This().WriteForClose(); }
  } m_setup{this};

  Text m_path;
  Prjrep::AutoPtr<CitI::IInterface> m_owner;
  // Not counted: the project tells of its closing, after which the component lets go of it.
  Hvd::IProject* m_project = nullptr;
  Prjrep::TBaseEventReceiverHelper<CHDProject> m_receiver{this, &CHDProject::Receive};
  std::vector<Prjrep::AutoPtr<CPartition>> m_partitions;
  std::array<Text, kSettings> m_paths{};
  std::array<Text, kSettings> m_texts{};
  Text m_refusedRoot;  // the last root partition name left out, told once
  // The file as this project last read or wrote it; none until it looked at the file.
  std::optional<DiskStamp> m_seen;
  // The text this project last wrote to its own file, and the file as that write left it: a file
  // read in or bound since is another's text, which a write of this text must replace.
  std::string m_written;
  std::optional<DiskStamp> m_writtenStamp;
  // The text of the partitions as this project last read or wrote them; none while unknown.
  std::optional<std::string> m_known;
  CommonI::TRefCountHelper<CHDProject, 0> m_refCount{this};
};

// The repository that the process-wide registry knows by the project's file (made absolute
// and canonical, as projects register theirs), as its named lookup; null when there is none.
Prjrep::AutoPtr<Prjrep::ISimpleNamedLookup> RepositoryNamesOf(Hvd::IProject* project) {
  Prjrep::AutoCast<Hvd::IProject2> paths(project);
  Text file;
  if (!paths || paths->GetProjectFilePath(&file) != kSuccess || file.empty()) return nullptr;
  Prjrep::AutoRelease<Prjrep::IAutonymLookup> registry(
      CitP::Factory::CreateInstance(Prjrep::ClassId::NamedObjectRegistry()));
  Prjrep::AutoRelease<Prjrep::IAutonym> name(CitP::Factory::CreateInstance(Prjrep::ClassId::SimpleAutonym()));
  Prjrep::AutoCast<Prjrep::IName> naming(name.Get());
  const Text canonical = Port::FileName(Port::FileName(file).GetAbsolutePath()).MakeCanonical().GetPath();
  Prjrep::AutoRelease<CitI::IInterface> repository;
  if (registry && naming && naming->SetName(canonical) == kSuccess)
    std::ignore = registry->Resolve(name.Get(), repository.Receive());
  return Prjrep::AutoPtr<Prjrep::ISimpleNamedLookup>(Prjrep::AutoCast<Prjrep::ISimpleNamedLookup>(repository.Get()).Get());
}

Status CHDProject::Read(const Text& path, ReadReport* report) {
  ReadReport own;
  ReadReport& found = report != nullptr ? *report : own;
  const auto refuse = [&](std::string problem) {
    found.problem = std::move(problem);
    return kFailure;
  };
  // Opened without waiting: a FIFO or device at the name is refused, not waited on.
  std::string bytes;
  if (!Hvd::ReadRegularFile(path.str(), bytes, kMaxFileBytes)) return refuse("it cannot be read as a regular file of its size");
  std::istringstream in(std::move(bytes));
  std::string line;
  if (!std::getline(in, line)) return refuse("it cannot be read");
  const bool marked = line == kHeading;
  if (!marked && line != kEarlierHeading) return refuse("it is not a partitions file");
  std::array<Text, kSettings> paths{}, texts{};
  std::vector<Prjrep::AutoPtr<CPartition>> partitions;
  // Lines after the heading; the end mark, when read, stops the count.
  std::size_t lines = 0;
  bool ended = false;
  const auto wrong = [&] { return refuse("line " + std::to_string(lines + 1) + " is not one of a partitions file"); };
  while (std::getline(in, line)) {
    if (ended) return refuse("it goes on after its end mark");
    if (marked && line.compare(0, std::strlen(kEndMark), kEndMark) == 0) {
      std::size_t counted = 0;
      if (!Number(line.substr(std::strlen(kEndMark)), &counted) || counted != lines)
        return refuse("its end mark does not count its lines: some are missing");
      ended = true;
      continue;
    }
    ++lines;
    // Written by hand or by another program: what no project file can hold refuses the whole file.
    if (const std::size_t at = Hvd::FindXmlUnfit(line); at != std::string::npos)
      return refuse("line " + std::to_string(lines + 1) + ", column " + std::to_string(at + 1) + " holds " +
                    Hvd::XmlUnfitName(line, at) + ", which a project file cannot hold");
    if (line.compare(0, 2, "  ") == 0) {
      if (partitions.empty() || !partitions.back()->Read(line.substr(2))) return wrong();
      continue;
    }
    std::string rest = line;
    const std::string key = Word(rest);
    if (key == "partition") {
      Text name;
      if (partitions.size() >= kMaxPartitions) return refuse("it holds more partitions than any partitions file");
      if (!Unescape(rest, &name) || name.empty() || name.str()[0] != '/') return wrong();
      partitions.emplace_back(Prjrep::AutoRelease<CPartition>(new CPartition(name)));
      continue;
    }
    std::int32_t index = 0;
    if ((key != "path" && key != "text") || !partitions.empty() || !Number(Word(rest), &index) ||
        !InRange(index, paths) || !Unescape(rest, &(key == "path" ? paths : texts)[static_cast<std::size_t>(index)]))
      return wrong();
  }
  if (in.bad()) return refuse("it cannot be read");
  if (marked && !ended) return refuse("it is cut short: its end mark is missing");
  if (NamedTwice(partitions, &found.comparisons)) return refuse("it names a partition twice");
  m_paths = paths, m_texts = texts;
  m_partitions = std::move(partitions);
  return kSuccess;
}

Status CHDProject::Publish(CitI::IInterface* object, CitI::IInterface* owner) {
  Prjrep::AutoCast<Hvd::IProject2> project(object);
  Text file;
  bool open = false;
  if (!project || project->IsOpen(&open) != kSuccess || !open || project->GetProjectFilePath(&file) != kSuccess ||
      file.empty() || OpenProject() != nullptr)
    return kFailure;
  const Prjrep::AutoPtr<Prjrep::ISimpleNamedLookup> names = RepositoryNamesOf(project.Get());
  if (!names) return kFailure;
  Prjrep::AutoRelease<CitI::IInterface> published;
  if (names->Find("HDProject", published.Receive()) == kSuccess && published) return kSuccess;
  const Text path = HDProjectFileOf(file);
  // Taken before the reading: a change made while it reads is a change.
  const DiskStamp seen = StampOf(path.str());
  if (ReadReport report; Port::File::exist(path) && Read(path, &report) != kSuccess) {
    Port_MsgManData::debugStub(
        ("HDProject: cannot read the partitions of " + Port::EscapeControls(path) + "\n").c_str());
    Port_MsgManData::createObject("ProjectMgmt", "HDProject", 0, "")
        .issueError("The partitions file \"%s\" is refused: %s. It is left as it is, and the project has no "
                    "partitions until it is mended or removed.\n",
                    path.c_str(), report.problem.c_str());
    return kFailure;
  }
  m_path = path;
  m_seen = seen;
  if (Port::File::exist(path)) m_known = Contents();
  m_owner = owner;
  m_project = project.Get();
  Hvd::ConnectEventReceiver(project.Get(), &m_receiver);
  if (OpenProject() == nullptr || names->Register("HDProject", this) != kSuccess) {
    m_receiver.DisconnectAll();
    m_project = nullptr;
    return kFailure;
  }
  return kSuccess;
}

// A closing project takes its partitions to its file and lets go of the component.
Status CHDProject::Receive(CHDProject* self, Prjrep::IEvent* event) {
  Port::XUID id;
  if (event->GetEventId(id) != kSuccess || id != Hvd::EventId::ProjectClosing()) return kSuccess;
  Hvd::IProject* project = self->OpenProject();
  if (project == nullptr) return kSuccess;
  // Held until the handler ends: leaving the repository may let go of the last reference.
  const Prjrep::AutoPtr<IHDProject> keep(self);
  // A write that fails is the close's error: the partitions go with the project.
  const Status written = self->WriteForClose();
  const Prjrep::AutoPtr<Prjrep::ISimpleNamedLookup> names = RepositoryNamesOf(project);
  Prjrep::AutoRelease<CitI::IInterface> published;
  if (names && names->Find("HDProject", published.Receive()) == kSuccess &&
      Hvd::RootOf(published.Get()) == Hvd::RootOf(self))
    std::ignore = names->Unregister("HDProject");
  self->m_receiver.DisconnectAll();
  self->m_project = nullptr;
  self->m_owner = nullptr;
  return written;
}

}  // namespace

void RegisterHDProject() { Hvd::RegisterFactoriesOf<CHDProject>(); }

StandInPartitionsFile StandInReadPartitions(const std::string& path) {
  StandInPartitionsFile file;
  Prjrep::AutoRelease<CHDProject> project(new CHDProject);
  ReadReport report;
  file.read = project->Read(Text(path), &report) == kSuccess;
  file.nameComparisons = report.comparisons;
  file.partitions = project->PartitionCount();
  return file;
}

}  // namespace HdcI
