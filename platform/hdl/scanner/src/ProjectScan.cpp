// The scans. Keeps, of Project::Impl: the files marked modified (pending); what they are scanned
// with (macros, includeDirs, standard, baseDirectory, reader, scanThreads); whether a file's
// macros can reach the files after it (macroFiles, macrosMoved), which macros files that went
// left (movedNames, movedAllNames), and the files that found each macro (finders). Update scans
// the modified files in file order, on several threads, each with the macros that the files before
// it leave, as a MacroHistory made afresh for the round from the records holds them; then it scans
// again the files that found other macros where they start. Only a file that now leaves other
// macros, goes or moves makes later files' starts worth checking, and one that goes or leaves
// other macros only those of the files that found a macro it left; without macros nothing else
// is scanned.

#include <algorithm>
#include <atomic>
#include <exception>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "MacroHistory.h"
#include "ProjectImpl.h"

namespace Hdl::scan {

namespace {

// Scans read files and little else: past a few threads the disk and the caller, who takes their
// results one by one, set the pace.
constexpr std::size_t kMaxScanThreads = 8;
// Files the caller takes between wake-ups of the helpers waiting to free their scans.
constexpr std::uint32_t kTakenBatch = 64;
// Files to scan for each thread the project starts by itself: starting and waking threads costs
// more than scanning a few files, which a single edit leaves.
constexpr std::size_t kScansPerThread = 8;
// Files that disagree with the macros before them, up to which they are scanned again one by one:
// after a removal, every later includer of a header whose guard the removed file set finds it
// unset, though once the first of them is scanned again the rest find it set as before.
constexpr std::size_t kSettledOneByOne = 64;

}  // namespace

ScanOptions Project::Impl::Options() const {
  ScanOptions options;
  options.macros = macros;
  for (const std::string& dir : includeDirs) {
    options.includeDirs.push_back(baseDirectory.empty() ? dir : detail::JoinPath(baseDirectory, dir));
  }
  options.vhdlStandard = standard;
  options.reader = reader;
  return options;
}

// What the files in file order leave, as they were scanned last.
void Project::Impl::FillHistory(MacroHistory& history) const {
  for (std::uint32_t slot : inFileOrder) {
    const FileRec& file = files[slot];
    if (file.HasMacros()) history.Add(placeOf[slot], slot, file.macros->undefinesAll, file.macros->macrosLeft);
  }
}

// For `files` to scan: as many as the caller chose, else one for every few files up to the cores.
std::size_t Project::Impl::ScanThreads(std::size_t files) const {
  static const std::size_t cores = std::thread::hardware_concurrency();  // which asks the system each time
  if (scanThreads != 0) return scanThreads;
  return std::clamp<std::size_t>(std::min(cores, (files + kScansPerThread - 1) / kScansPerThread), 1, kMaxScanThreads);
}

// Scans the files, each with the macros that the files before it in file order leave, on up to
// ScanThreads threads, the caller's among them. The caller takes the results in file order as
// they come, so a file scanned on one thread finds the macros of every file before it. With more
// threads a scan may start before an earlier file is taken and guess that file's macros from its
// last scan; Update's next round repeats the scans that guessed wrong. `history` holds what the
// files leave, and is kept up to date as their scans are taken. True when a file now leaves
// other macros than before: the files after it may start with others.
bool Project::Impl::ScanInFileOrder(std::vector<std::uint32_t>& slots, const ScanOptions& options,
                                    MacroHistory& history) {
  if (slots.empty()) return false;
  std::sort(slots.begin(), slots.end(), [&](std::uint32_t a, std::uint32_t b) { return placeOf[a] < placeOf[b]; });
  // A job for every file waits from the start, its result only from its scan until it is taken:
  // a large project scans many files at once. The path is the pool's, whose text never moves.
  struct Job {
    std::string_view path;
    Language language = Language::kAuto;
    std::uint32_t place = 0;
    std::unique_ptr<ScanResult> result;
    std::exception_ptr error;
    bool byCaller = false;
    std::atomic<bool> done{false};  // the fields above are written before it is set
  };
  // Each thread's options, whose macros are those where the thread's current file starts. Scans
  // touch nothing of the project but their job and the history.
  struct Scanner {
    Scanner(const ScanOptions& base, const MacroHistory& history) : options(base) {
      options.macrosAtStart = [this, &history](const std::string& name) {
        return history.At(name, place).definition;
      };
    }
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;
    void Scan(Job& job) {
      place = job.place;
      try {
        job.result = std::make_unique<ScanResult>(ScanFile(std::string(job.path), job.language, options));
      } catch (...) {
        job.error = std::current_exception();
      }
    }
    ScanOptions options;
    std::uint32_t place = 0;
  };
  std::vector<Job> jobs(slots.size());
  for (std::size_t k = 0; k < slots.size(); ++k) {
    const FileRec& file = files[slots[k]];
    jobs[k].path = pool.View(file.resolved);
    jobs[k].language = file.language;  // kAuto: ScanFile goes by the extension
    jobs[k].place = placeOf[slots[k]];
  }
  std::atomic<std::size_t> next{0};
  // Scans the next job; `mine`, on a helper, keeps it for freeing. Only the caller waits for a
  // job, and only for the one it takes next, so a finished job wakes at most that one thread.
  auto scanNext = [&](Scanner& scanner, std::vector<std::size_t>* mine) {
    const std::size_t k = next.fetch_add(1);
    if (k >= jobs.size()) return false;
    scanner.Scan(jobs[k]);
    jobs[k].byCaller = mine == nullptr;
    if (mine != nullptr) mine->push_back(k);
    jobs[k].done.store(true, std::memory_order_release);
    jobs[k].done.notify_one();
    return true;
  };
  // The jobs before it are taken: the caller has what it keeps of their results. A helper frees
  // the rest of its own, on the thread that allocated them, so that the memory goes back without
  // waiting on another thread's heap; at the end it waits for its last.
  std::atomic<std::uint32_t> taken{0};
  auto release = [&](const std::vector<std::size_t>& mine, std::size_t& first, bool last) {
    for (;;) {
      const std::uint32_t upTo = taken.load(std::memory_order_acquire);
      while (first < mine.size() && mine[first] < upTo) jobs[mine[first++]].result.reset();
      if (!last || first == mine.size()) return;
      taken.wait(upTo, std::memory_order_acquire);
    }
  };
  // Stops the helpers and waits for them on every way out, before the jobs go.
  struct Helpers {
    std::atomic<std::size_t>& next;
    std::atomic<std::uint32_t>& taken;
    std::size_t end;
    std::vector<std::thread> threads;
    ~Helpers() {
      next.store(end);
      taken.store(static_cast<std::uint32_t>(end), std::memory_order_release);
      taken.notify_all();
      for (std::thread& thread : threads) thread.join();
    }
  } helpers{next, taken, jobs.size(), {}};
  const std::size_t extra = std::min(ScanThreads(jobs.size()), jobs.size()) - 1;
  try {
    for (std::size_t t = 0; t < extra; ++t) {
      helpers.threads.emplace_back([&] {
        try {
          Scanner scanner(options, history);
          std::vector<std::size_t> mine;
          std::size_t first = 0;
          while (scanNext(scanner, &mine)) release(mine, first, false);
          release(mine, first, true);
        } catch (...) {
          // no room for the options: the caller scans what is left
        }
      });
    }
  } catch (const std::system_error&) {
    // fewer threads, the same results
  }
  Scanner scanner(options, history);
  bool leavesMoved = false;
  for (std::size_t k = 0; k < jobs.size(); ++k) {
    while (!jobs[k].done.load(std::memory_order_acquire)) {
      if (scanNext(scanner, nullptr)) continue;
      jobs[k].done.wait(false, std::memory_order_acquire);
    }
    if (jobs[k].error) std::rethrow_exception(jobs[k].error);
    const std::uint32_t slot = slots[k];
    const bool undefinedAll = files[slot].Macros().undefinesAll;
    const std::vector<MacroState> was = files[slot].Macros().macrosLeft;
    const std::vector<Sym> wasIn = files[slot].Macros().macrosLeftIn;
    Take(slot, *jobs[k].result);
    const FileMacros& now = files[slot].Macros();
    if (undefinedAll || !was.empty() || now.undefinesAll || !now.macrosLeft.empty()) {
      history.Replace(jobs[k].place, slot, undefinedAll, was, now.undefinesAll, now.macrosLeft);
    }
    const bool leavesOther = was != now.macrosLeft || wasIn != now.macrosLeftIn;
    // Only the files that found a macro this one left before or leaves now can start otherwise.
    if (undefinedAll != now.undefinesAll) movedAllNames = true;
    if (leavesOther) {
      for (const MacroState& macro : was) movedNames.push_back(pool.Intern(macro.name));
      for (const MacroState& macro : now.macrosLeft) movedNames.push_back(pool.Intern(macro.name));
    }
    leavesMoved = leavesMoved || undefinedAll != now.undefinesAll || leavesOther;
    if (jobs[k].byCaller) jobs[k].result.reset();
    // Helpers that have scanned all they took wait to free their results; waking them for each
    // file taken costs more than the results they hold meanwhile.
    taken.store(static_cast<std::uint32_t>(k + 1), std::memory_order_release);
    if ((k + 1) % kTakenBatch == 0) taken.notify_all();
  }
  return leavesMoved;
}

// The Verilog files whose scans found other macros where they start than the files before them
// now leave there, as `history` holds it; notes for each file the files whose macros it found.
// Of every file, or only of `among` (in file order) when no other file can start otherwise; with
// `names`, the only macros that can have changed, of `among` and the files that found one of them.
std::vector<std::uint32_t> Project::Impl::Disagreeing(const MacroHistory& history,
                                                      const std::vector<std::uint32_t>* among,
                                                      const std::vector<Sym>* names) {
  std::vector<std::uint32_t> result;
  std::vector<std::uint32_t> finding;
  if (names != nullptr) {
    if (among != nullptr) finding = *among;
    for (Sym name : *names) {
      if (auto found = finders.find(name); found != finders.end())
        finding.insert(finding.end(), found->second.begin(), found->second.end());
    }
    std::sort(finding.begin(), finding.end(),
              [this](std::uint32_t a, std::uint32_t b) { return placeOf[a] < placeOf[b]; });
    finding.erase(std::unique(finding.begin(), finding.end()), finding.end());
    among = &finding;
  }
  for (std::uint32_t slot : among != nullptr ? *among : inFileOrder) {
    if (!files[slot].macros) continue;  // found no macros: depends on no file's
    FileRec& rec = files[slot];
    FileMacros& file = *rec.macros;
    file.macroSources.clear();
    file.headerSources.clear();
    file.foundSources.clear();
    std::vector<std::uint32_t> ownSources;  // macros of the source's own text, or of headers this file lacks
    bool agrees = true;
    for (const MacroState& found : file.macrosFound) {
      const MacroHistory::Found now = history.At(found.name, placeOf[slot]);
      agrees = agrees && found.definition == now.definition;
      file.foundSources.push_back(now.source);
      if (now.source == kNone) continue;
      file.macroSources.push_back(now.source);
      if (!SetInSharedHeader(rec, files[now.source], found.name)) ownSources.push_back(now.source);
    }
    auto unique = [](std::vector<std::uint32_t>& list) {
      std::sort(list.begin(), list.end());
      list.erase(std::unique(list.begin(), list.end()), list.end());
    };
    unique(file.macroSources);
    unique(ownSources);
    std::set_difference(file.macroSources.begin(), file.macroSources.end(), ownSources.begin(), ownSources.end(),
                        std::back_inserter(file.headerSources));
    if (!agrees) result.push_back(slot);
  }
  return result;
}

// True when `source` last set `name` in a header that `file` includes as well.
bool Project::Impl::SetInSharedHeader(const FileRec& file, const FileRec& sourceFile, const std::string& name) {
  const FileMacros& source = sourceFile.Macros();
  for (std::size_t k = source.macrosLeft.size(); k-- > 0;) {
    if (source.macrosLeft[k].name != name) continue;
    const Sym in = k < source.macrosLeftIn.size() ? source.macrosLeftIn[k] : kNone;
    return in != kNone && std::find(file.includes.begin(), file.includes.end(), in) != file.includes.end();
  }
  return false;
}

// Scans the disagreeing `slots` (in file order) again one at a time, each with the macros that the
// files before it leave now: after a scan that leaves other macros, the files still waiting are
// checked again, and those that agree now are not scanned. Any order reaches the same scans, since
// each file ends with the macros the files before it leave. True when a file now leaves other
// macros than before.
bool Project::Impl::SettleOneByOne(std::vector<std::uint32_t>& slots, const ScanOptions& options,
                                   MacroHistory& history, std::vector<bool>& counted, std::size_t& scanned) {
  bool moved = false;
  std::vector<std::uint32_t> waiting = std::move(slots);
  std::vector<std::uint32_t> settled;
  while (!waiting.empty()) {
    std::vector<std::uint32_t> one{waiting.front()};
    waiting.erase(waiting.begin());
    const bool leavesMoved = ScanInFileOrder(one, options, history);
    settled.push_back(one.front());
    if (!counted[one.front()]) ++scanned;
    counted[one.front()] = true;
    moved = moved || leavesMoved;
    if (leavesMoved && !waiting.empty()) waiting = Disagreeing(history, &waiting);
  }
  slots = std::move(settled);
  return moved;
}

// Verilog macros carry on from file to file in file order, as when a list of files is compiled as
// one: a file sees what the files before it leave. A scan that found other macros than those is
// repeated; each round settles at least the first file in file order that disagreed, so the
// rounds end. Returns the number of files scanned, each once however often it was.
std::size_t Project::Impl::Update() {
  if (pending.empty() && !macrosMoved) return 0;
  const ScanOptions options = Options();
  OrderFilesByPlace();
  std::vector<std::uint32_t> slots;
  for (std::uint32_t slot : pending) {
    FileRec& file = files[slot];
    file.queued = false;
    if (file.live && file.modified) slots.push_back(slot);
  }
  pending.clear();
  std::vector<bool> counted(files.size(), false);
  std::size_t scanned = 0;
  // The files edited are scanned together; those found disagreeing after them, when few, one by one.
  bool edited = true;
  while (!slots.empty() || macrosMoved) {
    // Only a file that leaves other macros, goes or moves changes where the files after it
    // start; else only the files scanned can disagree. When files went or leave other macros,
    // only those that found a macro they left, or leave now, can, besides the files scanned.
    bool everyFile = macrosMoved;
    MacroHistory history(macros);
    if (macroFiles > 0) FillHistory(history);
    if (!slots.empty() && !edited && slots.size() <= kSettledOneByOne) {
      everyFile = SettleOneByOne(slots, options, history, counted, scanned) || everyFile;
      dirty = changed = true;
    } else if (!slots.empty()) {
      everyFile = ScanInFileOrder(slots, options, history) || everyFile;
      for (std::uint32_t slot : slots) {
        if (!counted[slot]) ++scanned;
        counted[slot] = true;
      }
      dirty = changed = true;
    }
    edited = false;
    macrosMoved = false;
    const bool byName = !movedAllNames;
    const std::vector<Sym> moved = std::exchange(movedNames, {});
    movedAllNames = false;
    if (macroFiles > 0) {
      slots = Disagreeing(history, everyFile && !byName ? nullptr : &slots, everyFile && byName ? &moved : nullptr);
      dirty = changed = true;
    } else {
      slots.clear();
    }
  }
  return scanned;
}

}  // namespace Hdl::scan
