// The differencer on a "files" section as the project writer rebuilds it: each entry an element
// with two namespaced attributes, indented. Equal sections are walked to the end; a section
// changed in its last entry too, so both should grow linearly with the entry count. And the
// embedded-platform reader listing the files of a loaded file, and the bounds check a document
// passes before it is parsed, which should grow the same way.

#include <benchmark/benchmark.h>

#include <string>
#include <xercesc/dom/DOM.hpp>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IZmrFileReader.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "core/Holders.h"
#include "hostkit/TempDir.h"
#include "projectfiles/XMLDifferencer.h"
#include "utils/XmlBounds.h"
#include "projectfiles/XMLNamespaceHelper.h"
#include "projectfiles/XmlNames.h"
#include "utils/XmlPlatform.h"

namespace {

namespace N = Hvd::XmlNames;

Hvd::Xml::DocumentPtr BuildSection(std::int64_t entries, bool changeLast) {
  if (!Hvd::Xml::StartPlatform()) return nullptr;
  xercesc::DOMImplementation* implementation = xercesc::DOMImplementationRegistry::getDOMImplementation(u"Core");
  Hvd::Xml::DocumentPtr document(implementation->createDocument(N::kNamespaceUriW, N::kProjectW, nullptr));
  const Hvd::XMLNamespaceHelper helper(document.get(), N::kNamespaceUriW);
  xercesc::DOMElement* files = helper.GetOrCreateChildElement(document->getDocumentElement(), N::kFilesW);
  const std::string name = std::string(N::kAttributePrefix) + ":" + N::kName;
  const std::string type = std::string(N::kAttributePrefix) + ":" + N::kType;
  for (std::int64_t i = 0; i < entries; ++i) {
    helper.AppendText(files, "\n    ");
    xercesc::DOMElement* file = helper.CreateElement(N::kFile);
    const bool changed = changeLast && i + 1 == entries;
    helper.SetAttribute(file, name.c_str(), ("src/unit_" + std::to_string(i) + (changed ? ".v" : ".vhd")).c_str());
    helper.SetAttribute(file, type.c_str(), "FILE_VHDL");
    files->appendChild(file);
  }
  helper.AppendText(files, "\n  ");
  return document;
}

void Run(benchmark::State& state, bool changeLast) {
  auto first = BuildSection(state.range(0), false);
  auto second = BuildSection(state.range(0), changeLast);
  if (!first || !second) {
    state.SkipWithError("no XML platform");
    return;
  }
  xercesc::DOMNode* a = first->getDocumentElement()->getFirstChild();
  xercesc::DOMNode* b = second->getDocumentElement()->getFirstChild();
  for (auto _ : state) {
    Hvd::XMLDifferencer differencer;
    const bool equal = differencer.Compare(a, b);
    if (equal == changeLast) state.SkipWithError("wrong answer");
    benchmark::DoNotOptimize(equal);
  }
  state.SetComplexityN(state.range(0));
}

void BM_CompareEqualSections(benchmark::State& state) { Run(state, false); }
void BM_CompareSectionsChangedAtTheEnd(benchmark::State& state) { Run(state, true); }

void BM_ZmrGetFiles(benchmark::State& state) {
  InstFactoryEntry();
  Prjrep::RegisterComponents();  // the string set
  TempDir dir;
  std::string text = "<?xml version='1.0'?><Project><Group>";
  for (std::int64_t i = 0; i < state.range(0); ++i) text += "<File URL='src/f" + std::to_string(i) + ".v' Type='HDL'/>";
  TempDir::Write(dir / "p.zmr", text + "</Group></Project>");
  Prjrep::AutoRelease<Hvd::IZmrFileReader> reader(CitP::Factory::CreateInstance(Hvd::ClassId::ZmrFileReader()));
  if (!reader || reader->Load((dir / "p.zmr").c_str()) != Hvd::kSuccess) {
    state.SkipWithError("the file could not be loaded");
    return;
  }
  for (auto _ : state) {
    Prjrep::AutoRelease<Prjrep::IStringIterator> files;
    if (reader->GetFiles("any", files.Receive()) != Hvd::kSuccess) state.SkipWithError("no list");
  }
  state.SetComplexityN(state.range(0));
  reader = nullptr;
  CitP::Factory::Shutdown();
}

// Elements as deep as allowed, side by side, with as many attributes as allowed on the last.
void BM_CheckBounds(benchmark::State& state) {
  std::string text = "<r>";
  for (std::int64_t i = 0; i < state.range(0); ++i) {
    for (std::size_t d = 1; d < Hvd::Xml::kMaxElementDepth; ++d) text += "<e a='1>' b=\"/\">";
    for (std::size_t d = 1; d < Hvd::Xml::kMaxElementDepth; ++d) text += "</e>";
  }
  text += "<e";
  for (std::size_t a = 0; a < Hvd::Xml::kMaxAttributes; ++a) text += " a" + std::to_string(a) + "='1'";
  text += "/></r>";
  for (auto _ : state) {
    if (!Hvd::Xml::CheckBounds(text).empty()) state.SkipWithError("refused");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.SetComplexityN(state.range(0));
}

BENCHMARK(BM_CompareEqualSections)->RangeMultiplier(10)->Range(1000, 100000)->Complexity(benchmark::oN);
BENCHMARK(BM_CompareSectionsChangedAtTheEnd)->RangeMultiplier(10)->Range(1000, 100000)->Complexity(benchmark::oN);
BENCHMARK(BM_CheckBounds)->Arg(10)->Arg(100)->Arg(1000)->Complexity(benchmark::oN);
BENCHMARK(BM_ZmrGetFiles)->Arg(1000)->Arg(4000)->Arg(16000)->Complexity(benchmark::oN);

}  // namespace
