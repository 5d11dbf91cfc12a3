// A project whose reader let go of the parsed document after reading it saves exactly as one
// that kept it: the same files written, byte for byte, and the same saves that write nothing.

#include "Port/FaultInjection.h"
#include "XhlcProject.h"
#include "projectfiles/CProjectSourceXMLWriter.h"
#include "projectfiles/XMLNamespaceHelper.h"
#include "projectfiles/XhlcText.h"
#include "projectfiles/XmlNames.h"

namespace xhlc_test {
namespace {

using Hvd::CProjectSourceXMLWriter;

// What one save did: its status, whether the file was replaced, and what it holds after.
struct Outcome {
  Hvd::Status status;
  bool written;
  std::string text;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
  return out << "status " << outcome.status << (outcome.written ? ", written:\n" : ", not written:\n") << outcome.text;
}

class XhlcReleasedDocumentTest : public XhlcProject {
 protected:
  void TearDown() override {
    CProjectSourceXMLWriter::ForgetEnvironmentFlags();
    XhlcProject::TearDown();
  }

  // The project's save: through the snapshot, else the document, else a whole new file.
  Outcome Save(const fs::path& target) {
    const Stamp before = StampOf(target);
    CProjectSourceXMLWriter writer(target.c_str(), m_project.Get());
    Hvd::Status status = Hvd::kFailure;
    if (Hvd::XhlcSnapshot* kept = m_reader->GetSnapshot(); kept != nullptr) {
      status = writer.WriteIfChanged(*kept);
    } else if (m_reader->GetDocument() != nullptr) {
      status = writer.WriteIfChanged(m_reader->GetDocument());
    } else {
      status = writer.Write();
    }
    return {status, !(StampOf(target) == before), ReadText(target)};
  }
  // The file changed on disk since it was read: what the project does when the user keeps
  // the project as it is.
  void ForgetFile() {
    if (m_reader->GetDocument() != nullptr) m_reader->GetDocument()->setDocumentURI(nullptr);
    if (Hvd::XhlcSnapshot* kept = m_reader->GetSnapshot(); kept != nullptr) kept->ForgetFile();
  }
  void Load(const std::string& fixture, bool release, bool divert = false) {
    Close();
    m_releaseDocument = release;
    m_divertFiles = divert;
    ASSERT_TRUE(LoadFixture(fixture));
    ASSERT_EQ(m_reader->GetSnapshot() != nullptr, release);
    ASSERT_EQ(m_reader->GetDocument() == nullptr, release);
  }
  // The ways of reading a project file: the document kept or let go, each parsed whole or with
  // the file entries read as it is parsed.
  struct Way {
    bool release;
    bool divert;
  };
  static constexpr Way kWays[] = {{false, false}, {true, false}, {false, true}, {true, true}};
  // The saves of `steps` run on a project read each way, all compared with the first.
  template <class Steps>
  void ExpectSameSaves(const std::string& fixture, const Steps& steps) {
    std::vector<Outcome> runs[std::size(kWays)];
    for (std::size_t way = 0; way < std::size(kWays); ++way) {
      for (const auto& entry : fs::directory_iterator(m_dir)) fs::remove_all(entry.path());
      Load(fixture, kWays[way].release, kWays[way].divert);
      steps(runs[way]);
    }
    for (std::size_t way = 1; way < std::size(kWays); ++way) {
      ASSERT_EQ(runs[way].size(), runs[0].size()) << "way " << way;
      for (std::size_t i = 0; i < runs[0].size(); ++i) EXPECT_EQ(runs[way][i], runs[0][i]) << "way " << way << ", save " << i;
    }
  }
};

TEST_F(XhlcReleasedDocumentTest, SavesAfterEditsWriteTheSameBytes) {
  ExpectSameSaves("full.xhlc", [&](std::vector<Outcome>& saves) {
    saves.push_back(Save(m_file));
    Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_DevSpeed", "-3");
    saves.push_back(Save(m_file));
    saves.push_back(Save(m_file));  // the written file stands for the project again
    AutoRelease<Hvd::ISourceLibrary> mylib;
    ASSERT_EQ(Libraries()->FindSourceLibrary("mylib", mylib.Receive()), Hvd::kSuccess);
    ASSERT_EQ(mylib->AddFileToLibrary(File(m_dir / "src/top.vhd")), Hvd::kSuccess);
    saves.push_back(Save(m_file));
    saves.push_back(Save(m_file));
    // Written all the same without the check.
    ::setenv("VEL_CORVANE_NO_DIRTY_CHECK", "1", 1);
    CProjectSourceXMLWriter::ForgetEnvironmentFlags();
    saves.push_back(Save(m_file));
    ::unsetenv("VEL_CORVANE_NO_DIRTY_CHECK");
    CProjectSourceXMLWriter::ForgetEnvironmentFlags();
    saves.push_back(Save(m_file));
  });
}

TEST_F(XhlcReleasedDocumentTest, FileChangedOnDiskOrAnotherTargetIsComparedAsItIsNow) {
  ExpectSameSaves("full.xhlc", [&](std::vector<Outcome>& saves) {
    // Another target: compared with what it holds, written, then found the same.
    const fs::path other = m_dir / "other.xhlc";
    fs::copy_file(kData / "unknown.xhlc", other);
    saves.push_back(Save(other));
    saves.push_back(Save(other));
    // The project's own file changed meanwhile and the project kept its own.
    const std::string text = ReadText(m_file);
    WriteText(m_file, text.substr(0, text.find("  <libraries>")) + "  <libraries/>\n</project>\n");
    ForgetFile();
    saves.push_back(Save(m_file));
    saves.push_back(Save(m_file));
    // Changed on disk to exactly what the project would write: compared, and left alone.
    const std::string same = ReadText(m_file);
    WriteText(m_file, same);
    ForgetFile();
    saves.push_back(Save(m_file));
    saves.push_back(Save(m_file));
  });
}

TEST_F(XhlcReleasedDocumentTest, FailedWritesAreRetriedFromWhatWasRead) {
  ExpectSameSaves("full.xhlc", [&](std::vector<Outcome>& saves) {
    Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_DevSpeed", "-3");
    {
      Port::FaultInjection::Scope scope;
      Port::FaultInjection::Fail("rename", 0, "p.xhlc");
      saves.push_back(Save(m_file));
      Port::FaultInjection::Clear();
    }
    EXPECT_EQ(saves.back().status, Hvd::kFailure);
    saves.push_back(Save(m_file));
    saves.push_back(Save(m_file));
    Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_DevSpeed", "-1");
    saves.push_back(Save(m_file));
  });
}

TEST_F(XhlcReleasedDocumentTest, OlderFilesAndOtherEncodingsAreRewrittenAlike) {
  ExpectSameSaves("unknown.xhlc", [&](std::vector<Outcome>& saves) {
    saves.push_back(Save(m_file));
    saves.push_back(Save(m_file));
  });
  const std::string latin =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
      "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">"
      "<header/><version vel_kv:schema_version=\"2\" vel_kv:hlc_version=\"14.1\"/>"
      "<files><file vel_kv:name=\"caf\xe9.vhd\" vel_kv:type=\"FILE_VHDL\"/></files></project>\n";
  const fs::path latinFixture = m_root / "latin.xhlc";
  WriteText(latinFixture, latin);
  std::vector<Outcome> runs[std::size(kWays)];
  for (std::size_t way = 0; way < std::size(kWays); ++way) {
    for (const auto& entry : fs::directory_iterator(m_dir)) fs::remove_all(entry.path());
    Close();
    m_releaseDocument = kWays[way].release;
    m_divertFiles = kWays[way].divert;
    fs::copy_file(latinFixture, m_file, fs::copy_options::overwrite_existing);
    ASSERT_TRUE(XhlcProject::Load(m_file));
    runs[way].push_back(Save(m_file));
    Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_DevSpeed", "-3");
    runs[way].push_back(Save(m_file));
    runs[way].push_back(Save(m_file));
  }
  for (std::size_t way = 1; way < std::size(kWays); ++way) EXPECT_EQ(runs[way], runs[0]) << "way " << way;
  EXPECT_NE(runs[1][0].text.find("encoding=\"ISO-8859-1\""), std::string::npos);
}

// The project file in every form its files section may hold.
std::vector<std::string> FilesSectionForms() {
  const std::string original = ReadText(kData / "full.xhlc");
  const auto edited = [&](const std::string& from, const std::string& to) {
    std::string text = original;
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
  };
  const std::string library = "<library vel_kv:name=\"mylib\"/>";
  const std::vector<std::string> variants = {
      original,
      edited("<association vel_kv:name=\"BehavioralSimulation\" vel_kv:seqID=\"1\"/>",
             "<association vel_kv:seqID=\"1\" vel_kv:name=\"BehavioralSimulation\"/>"),
      edited(library, "<library vel_kv:name=\"mylib\">  </library>"),
      edited(library, "<library name=\"mylib\"/>"),
      edited(library, "<library vel_kv:name=\"mylib\"/><!-- a note -->"),
      edited(library, "<library vel_kv:name=\"mylib\"/>text"),
      edited(library, "<library vel_kv:name=\"mylib\"><x/></library>"),
      edited(library, "<library vel_kv:name=\"mylib\" vel_kv:seqID=\"1\"/>"),
      edited(library, "<library vel_kv:name=\"\"/>"),
      edited(library, "<library xmlns:p=\"http://www.velmor.com/XMLSchema\" p:name=\"mylib\"/>"),
      [&] {
        // The same name under another prefix of the namespace: equal, but written as it stands.
        std::string text = edited(library, "<library p:name=\"mylib\"/>");
        return text.replace(text.find("<project "), 9, "<project xmlns:p=\"http://www.velmor.com/XMLSchema\" ");
      }(),
      edited(library, "<association vel_kv:name=\"Implementation\"/>" + library),
      edited(library, ""),
      edited("vel_kv:type=\"FILE_VHDL\">", "vel_kv:type=\"FILE_VHDL\" vel_kv:extra=\"1\">"),
      edited("vel_kv:type=\"FILE_VHDL\">", ">"),
      edited(" vel_kv:seqIDinc=\"3\"", ""),
      edited(" vel_kv:seqIDinc=\"3\"", " vel_kv:seqIDinc=\"\""),
      edited("vel_kv:seqID=\"70000\"", "vel_kv:seqID=\"70001\""),
      edited("<file vel_kv:name=\"src/pkg.vhd\"", "<file vel_kv:name=\"src/other.vhd\""),
      edited("<library vel_kv:name=\"mylib\"/>\n    </file>", "<library vel_kv:name=\"mylib\"/>\n    </file>\n"
             "    <vel_kv:file vel_kv:name=\"src/pkg.vhd\" vel_kv:type=\"FILE_VHDL\"/>"),
      edited("  </files>", "    <file vel_kv:name=\"src/more.vhd\" vel_kv:type=\"FILE_VHDL\"/>\n  </files>"),
      edited("<files>", "<files><![CDATA[  ]]>"),
      edited("\"src/pkg.vhd\"", "\"src/a&amp;b&lt;c&gt;\xc3\xa9.vhd\""),
  };
  return variants;
}

// The files section as the writer compares it: every form a file may hold, on both sides, and
// kept as it stands when another section is written.
TEST_F(XhlcReleasedDocumentTest, FilesSectionFormsCompareAsTheDocumentDoes) {
  const std::vector<std::string> variants = FilesSectionForms();
  ExpectSameSaves("full.xhlc", [&](std::vector<Outcome>& saves) {
    for (std::size_t i = 0; i < variants.size(); ++i) {
      WriteText(m_file, variants[i]);
      if (m_divertFiles) m_reader->DivertFileEntries();
      ASSERT_TRUE(m_reader->ParseFile(m_file.c_str()));
      m_reader->ReadVersion();
      if (m_releaseDocument) {
        ASSERT_TRUE(m_reader->ReleaseDocument());
      }
      saves.push_back(Save(m_file));
      Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_DevSpeed", i % 2 == 0 ? "-3" : "-1");
      saves.push_back(Save(m_file));
      saves.push_back(Save(m_file));
    }
  });
}

// A project opened from each form: what it reads, and whether its saves find anything to
// write, do not depend on how the file was read.
TEST_F(XhlcReleasedDocumentTest, EveryFormIsReadAndSavedAlikeEachWay) {
  const std::vector<std::string> variants = FilesSectionForms();
  for (std::size_t i = 0; i < variants.size(); ++i) {
    SCOPED_TRACE("form " + std::to_string(i));
    const fs::path fixture = m_root / ("form" + std::to_string(i) + ".xhlc");
    WriteText(fixture, variants[i]);
    ExpectSameSaves(fixture.string(), [&](std::vector<Outcome>& saves) {
      std::string state;
      for (const std::string& name : FileNames()) state += name + " [" + LibraryOf(File(name)) + "]\n";
      saves.push_back({Hvd::kSuccess, false, state});
      saves.push_back(Save(m_file));
      saves.push_back(Save(m_file));
    });
  }
}

// Entries kept as they stand are written again from what the save compared: names that need
// escaping come out as the document would give them.
TEST_F(XhlcReleasedDocumentTest, KeptEntriesAreWrittenAsTheDocumentWouldBe) {
  Load("full.xhlc", false);
  AutoRelease<Hvd::IHdlFile> added;
  ASSERT_EQ(Internal()->ProjectAddFile((m_dir / "src/a&b<c>\"d\xc3\xa9'e.vhd").c_str(), nullptr, added.Receive()),
            Hvd::kSuccess);
  // The same marks in a name of plain ASCII, which the writer escapes without the wide form.
  ASSERT_EQ(Internal()->ProjectAddFile((m_dir / "src/x&y<z>\"q'r\tt.vhd").c_str(), nullptr, added.ReleaseAndReceive()),
            Hvd::kSuccess);
  // A name of bytes that are not UTF-8 is written as the document reads it, and compares so.
  ASSERT_EQ(Internal()->ProjectAddFile((m_dir / "src/raw\xff\xc3.vhd").c_str(), nullptr, added.ReleaseAndReceive()),
            Hvd::kSuccess);
  ASSERT_EQ(Save(m_file).status, Hvd::kSuccess);
  const fs::path special = m_root / "special.xhlc";
  fs::copy_file(m_file, special, fs::copy_options::overwrite_existing);
  ExpectSameSaves(special.string(), [&](std::vector<Outcome>& saves) {
    Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_DevSpeed", "-3");
    saves.push_back(Save(m_file));
    EXPECT_TRUE(saves.back().written);
    EXPECT_NE(saves.back().text.find("src/a&amp;b&lt;c&gt;&quot;d\xc3\xa9'e.vhd"), std::string::npos);
    EXPECT_NE(saves.back().text.find("src/x&amp;y&lt;z&gt;&quot;q'r&#9;t.vhd"), std::string::npos);
    saves.push_back(Save(m_file));
    EXPECT_FALSE(saves.back().written);
  });
}

// The files are made only after the document went: what they were read from must give them
// exactly what the document gives, with the same skips and the same order.
TEST_F(XhlcReleasedDocumentTest, FilesMadeAfterTheDocumentWentAreReadAsFromIt) {
  std::string text = ReadText(kData / "full.xhlc");
  const auto replace = [&](const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
  };
  // A project reference listed first, an entry without a name, ids that do not read whole or
  // read only once trimmed, the system's library beside the user's, a library no file names,
  // and a binding to a file the project does not hold.
  replace("  <files>\n", "  <files>\n    <file vel_kv:name=\"../ip/other/other.xhlc\" vel_kv:type=\"FILE_XHLC\"/>\n"
                         "    <file vel_kv:name=\"\" vel_kv:type=\"FILE_VHDL\"/>\n");
  replace("vel_kv:seqID=\"2\"", "vel_kv:seqID=\" 12 \"");
  replace("vel_kv:seqID=\"4\"", "vel_kv:seqID=\"4x\"");
  replace("<library vel_kv:name=\"Work\"/>", "<library vel_kv:name=\"work\"/><library vel_kv:name=\"Work\"/>");
  replace("  </bindings>", "    <binding vel_kv:location=\"/top/u_gone\" vel_kv:name=\"src/gone.vhd\"/>\n  </bindings>");
  replace("<libraries>", "<libraries>\n    <library vel_kv:name=\"spare\"/>");
  const fs::path fixture = m_root / "reading.xhlc";
  WriteText(fixture, text);
  ExpectSameSaves(fixture.string(), [&](std::vector<Outcome>& saves) {
    std::string state;
    for (const std::string& name : FileNames()) {
      Hvd::IHdlFile* file = File(name);
      state += name + " [" + LibraryOf(file) + "]";
      for (std::uint32_t kind = 0; kind < 8; ++kind) state += " " + std::to_string(SequenceId(file, kind));
      state += "\n";
    }
    // Read by the rules, whichever way: references after ordinary files, ids trimmed, the system's
    // library skipped.
    const Strings names = FileNames();
    ASSERT_GE(names.size(), 2U);
    EXPECT_TRUE(names[names.size() - 1].ends_with(".xhlc") && names[names.size() - 2].ends_with(".xhlc"));
    EXPECT_FALSE(names[0].ends_with(".xhlc"));
    Hvd::IHdlFile* top = File(m_dir / "src/top.vhd");
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(SequenceId(top, 1), 12U);
    EXPECT_EQ(LibraryOf(top), "Work");
    AutoRelease<Hvd::ISourceLibrary> spare;
    state += Libraries()->FindSourceLibrary("spare", spare.Receive()) == Hvd::kSuccess ? "spare\n" : "no spare\n";
    saves.push_back({Hvd::kSuccess, false, state});
    ::setenv("VEL_CORVANE_NO_DIRTY_CHECK", "1", 1);
    CProjectSourceXMLWriter::ForgetEnvironmentFlags();
    saves.push_back(Save(m_file));
    ::unsetenv("VEL_CORVANE_NO_DIRTY_CHECK");
    CProjectSourceXMLWriter::ForgetEnvironmentFlags();
  });
}

TEST_F(XhlcReleasedDocumentTest, TheSnapshotHoldsNoFileEntriesAndTheLaterStepsStillRead) {
  m_releaseDocument = true;
  ASSERT_TRUE(LoadFixture("full.xhlc"));
  // The partitions were counted before the document went.
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning, "Partitions are no longer supported"));
  Hvd::XhlcSnapshot* kept = m_reader->GetSnapshot();
  ASSERT_NE(kept, nullptr);
  xercesc::DOMElement* files =
      Hvd::XMLNamespaceHelper().FindChildElement(kept->Outline()->getDocumentElement(), u"files");
  ASSERT_NE(files, nullptr);
  EXPECT_EQ(files->getFirstChild(), nullptr);
  EXPECT_TRUE(kept->EntriesComparable());
  // The properties were read before the document went.
  Text family;
  EXPECT_TRUE(m_reader->GetPropertyValue("Device Family", &family));
  EXPECT_FALSE(family.empty());
  // A reader that did not keep the bytes keeps its document.
  Hvd::CXMLReader reader;
  ASSERT_TRUE(reader.AdoptDocument(m_file.c_str(), Hvd::Xml::ParseXmlFile(m_file.c_str())));
  EXPECT_FALSE(reader.ReleaseDocument());
  EXPECT_NE(reader.GetDocument(), nullptr);
}

// What a save writes is read as the document is parsed: the entries read stand for the section,
// and a reader handed them with the document, as the open hands them over from the reader that
// read the version, reads and saves as one that parsed the file whole. A reader asked for its
// document gives it whole.
TEST_F(XhlcReleasedDocumentTest, ASavedProjectIsReadAsItIsParsed) {
  Load("full.xhlc", false);
  AutoRelease<Hvd::IHdlFile> added;
  ASSERT_EQ(Internal()->ProjectAddFile((m_dir / "src/extra.vhd").c_str(), nullptr, added.Receive()), Hvd::kSuccess);
  ASSERT_TRUE(Save(m_file).written);
  Close();
  ASSERT_TRUE(XhlcProject::Load(m_file));  // parsed whole
  const Strings names = FileNames();
  ASSERT_GE(names.size(), 3U);

  Hvd::CXMLReader first;
  first.DivertFileEntries();
  ASSERT_TRUE(first.ParseFile(m_file.c_str()));
  first.ReadVersion();
  std::unique_ptr<Hvd::CXMLReader::DivertedFiles> diverted = first.TakeDivertedFiles();
  ASSERT_TRUE(diverted && diverted->Diverted() && diverted->Usable());
  std::string bytes = first.TakeBytes();
  std::unique_ptr<Hvd::ElementIndex> index = first.TakeIndex();
  Hvd::Xml::DocumentPtr document = first.TakeDocument();
  ASSERT_TRUE(document);
  const xercesc::DOMElement* section =
      Hvd::XMLNamespaceHelper().FindChildElement(document->getDocumentElement(), u"files");
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(section->getFirstChild(), nullptr);

  Close();
  OpenEmpty(m_file);
  m_reader = std::make_unique<Hvd::CXMLReader>(m_project.Get());
  m_releaseDocument = true;
  ASSERT_TRUE(m_reader->AdoptDocument(m_file.c_str(), std::move(document), std::move(bytes), std::move(index),
                                      std::move(diverted)));
  ASSERT_TRUE(ReadSteps());
  EXPECT_EQ(FileNames(), names);
  ASSERT_NE(m_reader->GetSnapshot(), nullptr);
  EXPECT_TRUE(m_reader->GetSnapshot()->EntriesCanonical());
  EXPECT_FALSE(Save(m_file).written);

  Hvd::CXMLReader whole;
  whole.DivertFileEntries();
  ASSERT_TRUE(whole.ParseFile(m_file.c_str()));
  ASSERT_NE(whole.GetDocument(), nullptr);
  EXPECT_EQ(Hvd::ElementsNamed(whole.GetDocument(), Hvd::XmlNames::kNamespaceUriW, Hvd::XmlNames::kFileW).size(),
            names.size());
}

}  // namespace
}  // namespace xhlc_test
