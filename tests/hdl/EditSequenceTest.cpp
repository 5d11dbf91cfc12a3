// Long random sequences of edits: after each one a project kept across the edits answers as a
// project given the same files afresh, though it was asked for its order only now and then.

#include <algorithm>
#include <random>
#include <set>

#include "hdl/HdlSupport.h"

namespace {

using namespace hdl_test;

const char* const kNames[] = {"top", "a", "b", "c", "A"};

std::string Pick(std::mt19937& random, std::size_t n) { return kNames[random() % n]; }

// A file of one to three units: VHDL entities, architectures (also a second one of an entity),
// configurations and component, entity and configuration instances; Verilog modules; duplicates,
// other libraries and instances that come round come by chance.
std::string RandomText(std::mt19937& random, bool* verilog) {
  *verilog = random() % 3 == 0;
  std::string text;
  const int units = 1 + static_cast<int>(random() % 2);
  for (int u = 0; u < units; ++u) {
    const std::size_t own = random() % (*verilog ? 5 : 4);
    const std::string name = kNames[own];
    std::string body;
    const int instances = static_cast<int>(random() % 3);
    for (int k = 0; k < instances; ++k) {
      // Mostly down the list, so that hierarchies come round only now and then.
      const bool round = random() % 12 == 0;
      if (own >= 3 && !round) continue;
      const std::string target = round ? Pick(random, 5) : kNames[own + 1 + random() % (4 - own)];
      const std::string label = "u" + std::to_string(k);
      if (*verilog) {
        body += " " + target + " " + label + " (x);";
        continue;
      }
      switch (random() % 5) {
        case 0: body += " " + label + " : " + target + ";"; break;
        case 1: body += " " + label + " : entity work." + target + ";"; break;
        case 2: body += " " + label + " : entity work." + target + "(r2);"; break;
        case 3: body += " " + label + " : configuration work.cfg_" + target + ";"; break;
        default: body += " g" + std::to_string(k) + " : if true generate " + label + " : entity lib2." + target + "; end generate;"; break;
      }
    }
    if (*verilog) {
      text += "module " + name + (random() % 2 ? " (input x);" : ";") + body + " endmodule\n";
      continue;
    }
    switch (random() % 4) {
      case 0: text += "architecture r2 of " + name + " is begin" + body + " end;\n"; break;
      case 1: text += "configuration cfg_" + name + " of " + name + " is for " + (random() % 2 ? "r" : "r2") + " end for; end;\n"; break;
      default:
        text += "entity " + name + " is" + (random() % 3 ? " port (x : bit);" : "") + " end;\narchitecture r of " + name +
                " is begin" + body + " end;\n";
        break;
    }
  }
  return text;
}

struct FileState {
  std::string path;
  std::int64_t order = 0;
  std::string library = "work";
};

std::string InfoText(const UnitInfo& unit) {
  return unit.Label() + "@" + std::string(unit.library) + ":" + std::to_string(unit.file) + ":" + std::to_string(unit.line);
}

std::string WalkText(const HierarchyCursor& cursor, const std::string& indent = "") {
  const HierarchyNode& node = cursor.Node();
  std::string text = indent + node.path + "|" + node.unitName + (node.unit ? "|" + InfoText(*node.unit) : "") +
                     (node.architecture ? "|" + node.architecture->Label() : "") + (node.recursive ? "|rec" : "") + "\n";
  for (const HierarchyCursor& child : cursor.Children()) text += WalkText(child, indent + " ");
  return text;
}

// The tops with their walked hierarchies and every file's units; with the order and the messages
// when `whole` is set.
std::string Answers(Project& project, const std::map<FileHandle, FileState>& in, bool whole) {
  std::string text;
  for (const TopCandidate& top : project.TopCandidates()) {
    text += "top " + InfoText(top.unit) + (top.testbench ? " bench" : "") + "\n";
    const std::string name(top.unit.name);
    if (const std::optional<HierarchyCursor> root = project.HierarchyRoot(name, top.unit.library)) text += WalkText(*root);
  }
  for (const auto& [handle, file] : in) {
    for (const UnitInfo& unit : project.UnitsOf(handle)) text += "unit " + InfoText(unit) + "\n";
  }
  if (const std::optional<Interface> found = project.InterfaceOf("a")) text += "ports " + std::to_string(found->ports.size()) + "\n";
  if (!whole) return text;
  const CompileOrder order = project.GetCompileOrder();
  for (const UnitInfo& unit : order.units) text += "order " + InfoText(unit) + "\n";
  for (FileHandle handle : order.files) text += "file " + std::to_string(handle) + "\n";
  for (const UnitInfo& unit : project.GetCompileOrder("top").units) text += "needs " + unit.Label() + "\n";
  const auto said = [](const Message& message) {
    return message.path + ":" + std::to_string(message.line) + " " + message.text + "\n";
  };
  // Visited in place, the messages are those listed, in the same order.
  std::string visited;
  project.VisitMessages([&](const Message& message) { visited += said(message); });
  const std::size_t before = text.size();
  for (const Message& message : project.Messages()) text += said(message);
  EXPECT_EQ(visited, text.substr(before));
  return text;
}

TEST(EditSequence, AProjectKeptAcrossEditsAnswersAsAFreshOne) {
  for (unsigned seed = 1; seed <= 8; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    MemoryFiles files;
    Project project;
    project.SetReader(files.GetReader());
    project.SetScanThreads(1 + seed % 3);
    std::map<FileHandle, FileState> in;
    FileHandle next = 1;
    // The roots of the tops as the last step left them, kept by their names and libraries.
    std::map<std::pair<std::string, std::string>, HierarchyCursor> kept;
    // Each top candidate's version and hierarchy as the last step left them, by its id.
    std::map<std::uint32_t, std::pair<std::uint64_t, std::string>> versions;
    for (int step = 0; step < 60; ++step) {
      const unsigned what = in.size() < 3 ? 0 : random() % 6;
      std::string did;
      if (what <= 1) {
        bool verilog = false;
        const std::string text = RandomText(random, &verilog);
        FileState file{"f" + std::to_string(next) + (verilog ? ".v" : ".vhd"),
                       random() % 2 == 0 ? static_cast<std::int64_t>(random() % 4) : 100 + static_cast<std::int64_t>(next)};
        if (random() % 6 == 0) file.library = "lib2";
        files.Set(file.path, text);
        ASSERT_TRUE(project.AddFile(next, file.path, file.order, file.library));
        did = "add " + file.path + ": " + text;
        in[next++] = file;
      } else {
        auto at = in.begin();
        std::advance(at, random() % in.size());
        const FileHandle handle = at->first;
        if (what == 2) {
          ASSERT_TRUE(project.Remove(handle));
          did = "remove " + at->second.path;
          in.erase(at);
        } else if (what == 3) {
          bool verilog = false;
          std::string text = RandomText(random, &verilog);
          if (verilog != (at->second.path.back() == 'v')) text = at->second.path.back() == 'v' ? "module c; endmodule" : "entity c is end;";
          files.Set(at->second.path, text);
          ASSERT_TRUE(project.SetModified(handle));
          did = "change " + at->second.path + ": " + text;
        } else if (what == 4) {
          at->second.library = at->second.library == "work" ? "lib2" : "work";
          ASSERT_TRUE(project.SetLibrary(handle, at->second.library));
          did = "library of " + at->second.path;
        } else {
          at->second.order = static_cast<std::int64_t>(random() % 4);
          ASSERT_TRUE(project.SetOrder(handle, at->second.order));
          did = "order of " + at->second.path;
        }
      }
      SCOPED_TRACE(did);
      // The files added afresh in the order they were first added, which breaks ties alike.
      Project fresh;
      fresh.SetReader(files.GetReader());
      for (const auto& [handle, file] : in) ASSERT_TRUE(fresh.AddFile(handle, file.path, file.order, file.library));
      if (random() % 10 == 0) project.Invalidate();  // all bound and measured again
      const bool whole = random() % 3 == 0;
      ASSERT_EQ(Answers(project, in, whole), Answers(fresh, in, whole)) << "step " << step;
      // A kept root said to be unchanged is the one HierarchyRoot answers now; one it would answer
      // anew is never said to be unchanged.
      for (const auto& [key, root] : kept) {
        // Asked for a top it does not know, the project reports it, which a fresh one would not.
        if (!project.InterfaceOf(key.first, key.second)) continue;
        const std::optional<HierarchyCursor> now = project.HierarchyRoot(key.first, key.second);
        const bool same = now && now->SameAs(root) && WalkText(*now) == WalkText(root);
        EXPECT_EQ(project.RootUnchanged(root, key.first, key.second), same) << "step " << step << " " << key.first;
      }
      kept.clear();
      // A candidate that keeps its version has the hierarchy it had; a version is never reused.
      std::map<std::uint32_t, std::pair<std::uint64_t, std::string>> now;
      for (const TopCandidate& top : project.TopCandidates()) {
        const std::pair<std::string, std::string> key(std::string(top.unit.name), std::string(top.unit.library));
        if (std::optional<HierarchyCursor> root = project.HierarchyRoot(key.first, key.second)) kept.emplace(key, *root);
        if (top.version == 0) continue;
        const std::optional<HierarchyCursor> byName = project.HierarchyRoot(key.first);
        now[top.id] = {top.version, byName ? WalkText(*byName) : std::string()};
      }
      for (const auto& [id, then] : versions) {
        const auto at = now.find(id);
        if (at != now.end() && at->second.first == then.first) {
          EXPECT_EQ(at->second.second, then.second) << "step " << step << " id " << id;
        }
      }
      for (const auto& [id, made] : now) {
        const auto at = versions.find(id);
        EXPECT_TRUE(at == versions.end() || at->second.first <= made.first) << "step " << step << " id " << id;
      }
      versions = std::move(now);
    }
  }
}

// Files added last and removed from anywhere keep their places: the order, the macros a file finds
// from the files before it and the messages, as a fresh project has them.
TEST(EditSequence, FilesAddedLastAndRemovedAnywhereKeepTheirPlaces) {
  MemoryFiles files;
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"d.v", "`define CELL m1\nmodule m0; endmodule"},
      {"m1.v", "module m1; endmodule"},
      {"u.v", "module u; `CELL c (); endmodule"},
      {"e.vhd", "entity e is end; architecture r of e is begin x : entity work.u; end;"},
      {"f.vhd", "entity f is end; architecture r of f is begin x : entity work.e; y : entity work.g; end;"},
      {"g.vhd", "entity g is end; architecture r of g is begin end;"},
  };
  for (const auto& [path, text] : texts) files.Set(path, text);
  auto answers = [&](Project& project) {
    std::string text;
    const CompileOrder order = project.GetCompileOrder();
    for (FileHandle handle : order.files) text += std::to_string(handle) + " ";
    for (const TopCandidate& top : project.TopCandidates()) text += std::string(top.unit.name) + " ";
    for (const Message& message : project.Messages()) text += message.text + "\n";
    return text;
  };
  Project project;
  project.SetReader(files.GetReader());
  std::vector<FileHandle> in;
  auto check = [&](const std::string& what) {
    Project fresh;
    fresh.SetReader(files.GetReader());
    for (FileHandle handle : in) ASSERT_TRUE(fresh.AddFile(handle, texts[handle - 1].first, 1));
    EXPECT_EQ(answers(project), answers(fresh)) << what;
  };
  for (FileHandle handle = 1; handle <= texts.size(); ++handle) {
    ASSERT_TRUE(project.AddFile(handle, texts[handle - 1].first, 1));
    in.push_back(handle);
    check("add " + std::to_string(handle));
  }
  for (FileHandle handle : {2u, 4u, 1u}) {
    ASSERT_TRUE(project.Remove(handle));
    in.erase(std::find(in.begin(), in.end(), handle));
    check("remove " + std::to_string(handle));
  }
  for (FileHandle handle : {1u, 2u}) {
    ASSERT_TRUE(project.AddFile(handle, texts[handle - 1].first, 1));
    in.push_back(handle);
    check("add again " + std::to_string(handle));
  }
}

// Verilog files that include shared guarded headers (not project files), one that undefines the
// header's option and redefines a macro, one that includes only when the guard is not yet set and
// one that uses the macros without including, in every order: removed one at a time from a full
// project, added back in their places, and once all are out again added back last, at one place
// in the file order so that the order of the adds decides it. What a file reads depends on which
// includer comes before it; after every step the kept project answers as one given the same files
// afresh, its includes among the answers.
TEST(EditSequence, FilesIncludingSharedHeadersAnswerAsAFreshProjectInEveryOrder) {
  MemoryFiles files;
  files.Set("cfg.vh", "`ifndef CFG_VH\n`define CFG_VH\n`define WIDTH 4\n`define USE_PAR\n`endif\n");
  files.Set("defs.vh", "`ifndef DEFS_VH\n`define DEFS_VH\n`include \"cfg.vh\"\n`define CELL leaf\n`endif\n");
  const std::vector<std::string> paths = {"t.vhd", "a.v", "b.v", "u.v", "c.v", "d.v"};
  files.Set("t.vhd", "entity t is end; architecture r of t is begin u : entity work.d; v : entity work.a; end;");
  files.Set("a.v", "`include \"cfg.vh\"\nmodule a #(parameter W = `WIDTH) (input x);\n`ifdef USE_PAR\n  par p (x);\n`endif\nendmodule\n");
  files.Set("b.v", "`include \"defs.vh\"\nmodule b (input x);\n  a u (x);\n  `CELL c (x);\n`ifdef USE_PAR\n  par q (x);\n"
                   "`else\n  leaf q (x);\n`endif\nendmodule\n");
  files.Set("u.v", "`undef USE_PAR\n`define CELL par\nmodule par (input x); endmodule\nmodule leaf (input x); endmodule\n");
  files.Set("c.v", "`ifndef CFG_VH\n`include \"cfg.vh\"\n`endif\nmodule c (input x);\n  b u (x);\n`ifdef USE_PAR\n  par p (x);\n"
                   "`endif\nendmodule\n`ifdef CELL\nmodule `CELL (input x); endmodule\n`endif\n");
  files.Set("d.v", "module d (input x);\n`ifdef DEFS_VH\n  c u (x);\n`else\n  b u (x);\n`endif\n`ifdef CELL\n  `CELL e (x);\n`endif\n"
                   "  wire [`WIDTH:0] w;\nendmodule\n");
  const auto answers = [&](Project& project, const std::map<FileHandle, FileState>& in, bool whole) {
    std::string text = Answers(project, in, whole);
    for (const auto& [handle, file] : in) {
      for (std::string_view included : project.IncludesOf(handle)) text += file.path + " includes " + std::string(included) + "\n";
    }
    return text;
  };
  // A fresh project's answers by the files it is given, in order with their places: the orders
  // reach the same states again and again.
  std::map<std::string, std::string> freshAnswers;
  std::set<bool> option;  // whether c instantiated par, as the orders had it: both, or the macros never mattered
  std::vector<FileHandle> verilog = {2, 3, 4, 5, 6};  // handles by `paths`; the VHDL top stays
  int run = 0;
  do {
    std::string named;
    for (FileHandle handle : verilog) named += " " + paths[handle - 1];
    SCOPED_TRACE("order" + named);
    Project project;
    project.SetReader(files.GetReader());
    project.SetScanThreads(1 + run % 3);
    std::vector<FileHandle> added;  // in the order added, which breaks ties in the file order
    std::map<FileHandle, FileState> in;
    const auto add = [&](FileHandle handle, std::int64_t place) {
      added.push_back(handle);
      in[handle] = FileState{paths[handle - 1], place};
      return project.AddFile(handle, paths[handle - 1], place);
    };
    const auto remove = [&](FileHandle handle) {
      added.erase(std::find(added.begin(), added.end(), handle));
      in.erase(handle);
      return project.Remove(handle);
    };
    int step = 0;
    const auto check = [&](const std::string& did) {
      const bool whole = (run + ++step) % 2 == 0;
      std::string key = whole ? "whole" : "";
      for (FileHandle handle : added) key += " " + std::to_string(handle) + "@" + std::to_string(in[handle].order);
      auto [at, made] = freshAnswers.try_emplace(key);
      if (made) {
        Project fresh;
        fresh.SetReader(files.GetReader());
        for (FileHandle handle : added) ASSERT_TRUE(fresh.AddFile(handle, paths[handle - 1], in[handle].order));
        at->second = answers(fresh, in, whole);
        if (const std::optional<HierarchyNode> c = fresh.Hierarchy("c")) {
          option.insert(std::any_of(c->children.begin(), c->children.end(),
                                    [](const HierarchyNode& child) { return child.instanceName == "p"; }));
        }
      }
      ASSERT_EQ(answers(project, in, whole), at->second) << did;
    };
    for (FileHandle handle = 1; handle <= paths.size(); ++handle) ASSERT_TRUE(add(handle, 10 * handle));
    for (FileHandle handle : verilog) {
      ASSERT_TRUE(remove(handle));
      check("remove " + paths[handle - 1]);
      if (HasFatalFailure()) return;
    }
    for (FileHandle handle : verilog) {
      ASSERT_TRUE(add(handle, 10 * handle));
      check("add in place " + paths[handle - 1]);
      if (HasFatalFailure()) return;
    }
    for (FileHandle handle : verilog) ASSERT_TRUE(remove(handle));
    check("all removed again");
    if (HasFatalFailure()) return;
    for (FileHandle handle : verilog) {
      ASSERT_TRUE(add(handle, 100));
      check("add last " + paths[handle - 1]);
      if (HasFatalFailure()) return;
    }
    ++run;
  } while (std::next_permutation(verilog.begin(), verilog.end()));
  EXPECT_EQ(option.size(), 2u);
}

// An entity's default architecture is the one compiled last: an edit that only moves the order
// moves it.
TEST(EditSequence, AnArchitectureChosenByTheOrderFollowsIt) {
  MemoryFiles files;
  files.Set("e.vhd", "entity e is port (x : bit); end;");
  files.Set("r.vhd", "use work.p.all; architecture r of e is begin end;");
  files.Set("r2.vhd", "architecture r2 of e is begin end;");
  files.Set("p.vhd", "package p is end;");
  files.Set("t.vhd", "entity t is end; architecture s of t is begin u : entity work.e; end;");
  Project project;
  project.SetReader(files.GetReader());
  ASSERT_TRUE(project.AddFile(1, "e.vhd", 1) && project.AddFile(2, "r.vhd", 2) && project.AddFile(3, "r2.vhd", 3));
  ASSERT_TRUE(project.AddFile(4, "p.vhd", 4) && project.AddFile(5, "t.vhd", 5));
  auto used = [&] {
    const std::optional<HierarchyCursor> root = project.HierarchyRoot("t");
    const std::vector<HierarchyCursor> below = root ? root->Children() : std::vector<HierarchyCursor>();
    return below.size() == 1 && below[0].Node().architecture ? std::string(below[0].Node().architecture->path) : "";
  };
  EXPECT_EQ(used(), "r.vhd");  // it waits for p
  ASSERT_TRUE(project.Remove(4));
  EXPECT_EQ(used(), "r2.vhd");
  ASSERT_TRUE(project.AddFile(4, "p.vhd", 4));
  EXPECT_EQ(used(), "r.vhd");
}

// Units that share names across libraries: a name found in the asker's own library is settled
// by that library, and follows its units as they come, go and move; one found in no such library
// falls back on every library. Each step answers as the same files given afresh.
TEST(EditSequence, NamesSharedByLibrariesFollowTheUnitsOfEachLibrary) {
  MemoryFiles files;
  const std::string leaf = "entity leaf is port (x : bit); end; architecture r of leaf is begin end;";
  files.Set("top1.vhd", "entity top is port (x : bit); end; architecture r of top is begin "
                        "u : entity work.leaf; v : leaf port map (x => x); w : entity lib3.mid; end;");
  files.Set("leaf1.vhd", leaf);
  files.Set("leaf2.vhd", "entity leaf is port (x : bit); end; architecture r of leaf is begin m : entity work.mid; end;");
  files.Set("mid2.vhd", "entity mid is end; architecture r of mid is begin end;");
  files.Set("top2.vhd", "entity top2 is port (x : bit); end; architecture r of top2 is begin u : entity work.leaf; end;");
  files.Set("leaf3.vhd", leaf);
  files.Set("mid3.vhd", "entity mid is end; architecture r of mid is begin d : entity work.deep; end;");
  files.Set("deep3.vhd", "entity deep is end; architecture r of deep is begin end;");
  std::map<FileHandle, FileState> in;
  Project project;
  project.SetReader(files.GetReader());
  const auto add = [&](FileHandle handle, const std::string& path, std::int64_t order, const std::string& library) {
    in[handle] = FileState{path, order, library};
    return project.AddFile(handle, path, order, library);
  };
  const auto check = [&](const std::string& step) {
    SCOPED_TRACE(step);
    Project fresh;
    fresh.SetReader(files.GetReader());
    for (const auto& [handle, file] : in) ASSERT_TRUE(fresh.AddFile(handle, file.path, file.order, file.library));
    ASSERT_EQ(Answers(project, in, false), Answers(fresh, in, false));
  };
  ASSERT_TRUE(add(1, "top1.vhd", 1, "lib1") && add(2, "leaf1.vhd", 2, "lib1") && add(3, "leaf2.vhd", 3, "lib2"));
  ASSERT_TRUE(add(4, "mid2.vhd", 4, "lib2") && add(5, "top2.vhd", 5, "lib2"));
  check("added");
  const auto move = [&](FileHandle handle, const std::string& library) {
    in[handle].library = library;
    return project.SetLibrary(handle, library);
  };
  // lib1's leaf leaves: top's component falls back on lib2's, which goes deeper; work.leaf finds none
  ASSERT_TRUE(move(2, "lib3"));
  check("leaf1 to lib3");
  ASSERT_TRUE(add(7, "mid3.vhd", 7, "lib3"));  // top's explicit lib3.mid appears
  check("mid in lib3");
  ASSERT_TRUE(add(8, "deep3.vhd", 8, "lib3"));  // and grows below, measured anew
  check("deep in lib3");
  ASSERT_TRUE(move(2, "lib1"));  // back where top finds it first
  check("leaf1 back to lib1");
  ASSERT_TRUE(add(6, "leaf3.vhd", 0, "lib2"));  // an earlier leaf in lib2 only
  check("earlier leaf in lib2");
  ASSERT_TRUE(project.Remove(3));
  in.erase(3);
  check("leaf2 removed");
  ASSERT_TRUE(move(6, "lib1"));  // lib2 keeps no leaf; top's own library gets an earlier one
  check("leaf3 to lib1");
  files.Set("deep3.vhd", "entity deep is end; architecture r of deep is begin l : entity lib1.leaf; end;");
  ASSERT_TRUE(project.SetModified(8));
  check("deep changed");
  ASSERT_TRUE(project.SetOrder(2, -1));
  in[2].order = -1;
  check("leaf1 first");
}

// A query's message follows the messages of binding and ordering, also when the order is worked
// out only after the query.
TEST(EditSequence, AQueryMessageStaysAfterTheOrdersMessages) {
  MemoryFiles files;
  files.Set("p.vhd", "entity p is end; architecture r of p is begin u : entity work.q; end;");
  files.Set("q.vhd", "entity q is end; architecture r of q is begin u : entity work.p; end;");
  auto texts = [](const std::vector<Message>& messages) {
    std::vector<std::string> said;
    for (const Message& message : messages) said.push_back(message.text);
    return said;
  };
  Project late, early;
  for (Project* project : {&late, &early}) {
    project->SetReader(files.GetReader());
    ASSERT_TRUE(project->AddFile(1, "p.vhd", 1) && project->AddFile(2, "q.vhd", 2));
  }
  EXPECT_FALSE(late.HierarchyRoot("none").has_value());
  early.GetCompileOrder();
  EXPECT_FALSE(early.HierarchyRoot("none").has_value());
  const std::vector<std::string> said = texts(late.Messages());
  EXPECT_EQ(said, texts(early.Messages()));
  ASSERT_EQ(said.size(), 2u);
  EXPECT_EQ(said.back(), "no entity, module or configuration 'none' in the project");
  // The next edit drops the query's message.
  ASSERT_TRUE(late.Remove(2));
  EXPECT_EQ(CountMessages(late.Messages(), MessageKind::kUnknownTop), 0);
}

}  // namespace

namespace {

// A hierarchy deeper than a call stack would bear, each unit's part shared: it is measured, ranked
// and let go without deep recursion, also by a cursor that outlives the project.
TEST(EditSequence, AVeryDeepHierarchyIsMeasuredAndLetGo) {
  constexpr int kDepth = 30000;
  std::string text;
  for (int i = kDepth - 1; i >= 0; --i) {  // each below the one that instantiates it
    text += "module m" + std::to_string(i) + "(input x);";
    if (i + 1 < kDepth) text += " m" + std::to_string(i + 1) + " u (x);";
    text += " endmodule\n";
  }
  MemoryFiles files;
  files.Set("chain.v", text);
  auto project = std::make_unique<Project>();
  project->SetReader(files.GetReader());
  ASSERT_TRUE(project->AddFile(1, "chain.v", 1));
  const std::vector<TopCandidate> tops = project->TopCandidates();
  ASSERT_EQ(tops.size(), 1u);
  EXPECT_EQ(tops[0].unit.name, "m0");
  std::optional<HierarchyCursor> root = project->HierarchyRoot("m0");
  ASSERT_TRUE(root.has_value());
  // Held apart from the optional, whose release at -O3 draws a false uninitialized warning.
  auto at = std::make_unique<HierarchyCursor>(*std::move(root));
  ASSERT_EQ(at->Children().size(), 1u);
  EXPECT_EQ(at->Children()[0].Children()[0].Node().path, "m0/u/u");
  project.reset();  // the cursor keeps the hierarchy
  at.reset();
}

}  // namespace
