// The loaders of the older repository's records: each family at its version boundaries,
// the class table, and damaged records.

#include <gtest/gtest.h>

#include "Prjrep/Storage.h"
#include "XhlcProject.h"
#include "core/Holders.h"
#include "projectfiles/RepoMine.h"
#include "projectfiles/repomine/Loaders.h"
#include "support/OldProject.h"

namespace {

using namespace oldproject;
using Hvd::kFailure;
using Hvd::kSuccess;
using Prjrep::AutoCast;
using Prjrep::AutoRelease;

class OldLoadersTest : public ::testing::Test {
 protected:
  // A fresh record stream for each write; the load reads it from the first value.
  IStorage* Record() {
    m_stream = AutoRelease<IStorage>(Prjrep::CreateStorage());
    return m_stream.Get();
  }
  Hvd::Status Load(PersistHelper& loader) {
    std::ignore = AutoCast<Prjrep::IStorageControl>(m_stream.Get())->Rewind();
    return loader.PersistLoad(m_stream.Get());
  }
  std::int64_t Operations() { return AutoCast<Prjrep::IStorageControl>(m_stream.Get())->OperationCount(); }
  AutoRelease<IStorage> m_stream;
};

TEST_F(OldLoadersTest, HdlFilesAndElementsReadTheirFieldsOnEitherSideOfTheirVersionBoundaries) {
  for (const std::int32_t v : {9, 10}) {
    HdlFile(Record(), v, XUID(1, 1), "/p/a.vhd", XUID(2, 2));
    HdlFileLoader file;
    ASSERT_EQ(Load(file), kSuccess) << v;
    EXPECT_TRUE(file.Version == v && file.ParentId == XUID(1, 1) && file.FileName == "/p/a.vhd" &&
                file.FusedDdmFileId == XUID(2, 2) && file.ChildIds.size() == 1);
    EXPECT_EQ(file.Strings.size(), v >= 10 ? 2u : 0u);
  }
  HdlFile(Record(), 10, XUID(1, 1), "b.v", XUID());
  HdlFileLoader unfused;
  EXPECT_TRUE(Load(unfused) == kSuccess && unfused.FusedDdmFileId.IsNull());

  for (const std::int32_t v : {2, 3, 8, 9, 12, 13}) {
    HdlElement(Record(), v, XUID(3, 3), XUID(4, 4));
    ModuleLoader element;
    ASSERT_EQ(Load(element), kSuccess) << v;
    EXPECT_EQ(element.ParentId, XUID(3, 3));
    EXPECT_EQ(element.DesignUnitId, v < 13 ? XUID(4, 4) : XUID()) << v;
  }
}

TEST_F(OldLoadersTest, DdmFilesStopBelowVersionThirteenAndKeepTheFirstViewAssociationOfTheirWholeKeyMap) {
  for (const std::int32_t v : {6, 7, 8, 12}) {
    DdmFile(Record(), v, XUID(1, 5), 2, "", XUID(), XUID(7, 7));
    DdmFileLoader file;
    ASSERT_EQ(Load(file), kSuccess) << v;
    EXPECT_TRUE(file.HdlFileId == XUID(7, 7) && file.LibraryId == XUID(1, 5) && file.Origination == "imported" &&
                file.FileName.empty() && file.ViewAssocId.IsNull());
    EXPECT_EQ(file.Ids.size(), 1u);
  }
  DdmFile(Record(), 13, XUID(1, 5), 0, "/p/top.vhd", XUID(6, 6));
  DdmFileLoader file;
  ASSERT_EQ(Load(file), kSuccess);
  EXPECT_TRUE(file.HdlFileId.IsNull() && file.FileName == "/p/top.vhd" && file.ViewAssocId == XUID(6, 6) &&
              file.Origination == "user" && file.LibraryName.empty() && file.AssociationBits == 0);
  for (const auto& [code, name] : {std::pair<std::uint32_t, const char*>{1, "generated"}, {7, "user"}}) {
    DdmFile(Record(), 13, XUID(), code, "g.v");
    DdmFileLoader other;
    EXPECT_TRUE(Load(other) == kSuccess && other.Origination == name) << code;
  }
}

TEST_F(OldLoadersTest, DesignUnitsKeyMapsAndSmallRecords) {
  DesignUnit(Record(), 3, XUID(1, 1), XUID(), XUID(2, 2));
  DdmDesignUnitLoader older;
  EXPECT_TRUE(Load(older) == kSuccess && older.KeyMapId == XUID(2, 2) && older.ViewAssocId.IsNull() &&
              older.FusedHdlElementId == XUID(1, 1));
  DesignUnit(Record(), 4, XUID(1, 1), XUID(3, 3));
  DdmDesignUnitLoader newer;
  EXPECT_TRUE(Load(newer) == kSuccess && newer.KeyMapId.IsNull() && newer.ViewAssocId == XUID(3, 3));

  KeyMap(Record(), {{XUID(1, 1), XUID(2, 2)}});
  XuidKeyMapLoader none;
  EXPECT_TRUE(Load(none) == kSuccess && none.ViewAssocId.IsNull());
  KeyMap(Record(), {{oldproject::kViewAssocKey, XUID(5, 5)}, {oldproject::kViewAssocKey, XUID(6, 6)}});
  XuidKeyMapLoader first;
  EXPECT_TRUE(Load(first) == kSuccess && first.ViewAssocId == XUID(5, 5));

  SourceLibrary(Record(), "mylib");
  SourceLibraryLoader library;
  EXPECT_TRUE(Load(library) == kSuccess && library.Name == "mylib");
  ViewAssoc(Record(), 0x41);
  ViewAssocLoader assoc;
  EXPECT_TRUE(Load(assoc) == kSuccess && assoc.Bits == 0x41u);
  CheckPoint(Record(), "s1", "a comment", "top.hlc");
  CheckPointLoader snapshot;
  EXPECT_TRUE(Load(snapshot) == kSuccess && snapshot.Name == "s1" && snapshot.Comment == "a comment" &&
              snapshot.HlcFileName == "top.hlc");
}

TEST_F(OldLoadersTest, PropertiesGiveTheirValueAsTextWithOrWithoutTheirOptionalParts) {
  for (const std::int32_t v : {9, 10}) {
    Property(Record(), PropKind::Int, v, "PROP_Int", "-5", false, true);
    IntPropLoader number;
    ASSERT_EQ(Load(number), kSuccess) << v;
    EXPECT_TRUE(number.Name == "PROP_Int" && number.Value == "-5" && number.HeaderName.empty());
    Property(Record(), PropKind::Bool, v, "PROP_B", "true");
    BoolPropLoader flag;
    EXPECT_TRUE(Load(flag) == kSuccess && flag.Value == "true" && flag.HeaderName == "prop");
    Property(Record(), PropKind::Bool, v, "PROP_B", "false", true, true);
    BoolPropLoader off;
    EXPECT_TRUE(Load(off) == kSuccess && off.Value == "false");
    Property(Record(), PropKind::String, v, "PROP_S", "a b {c}");
    ListPropLoader text;
    EXPECT_TRUE(Load(text) == kSuccess && text.Value == "a b {c}");
  }
}

TEST_F(OldLoadersTest, TheClassTableMapsEachOldClassToItsLoaderAndNothingElse) {
  EXPECT_TRUE(dynamic_cast<BoolPropLoader*>(CreateLoaderForClassId(cls::BoolProp).get()));
  EXPECT_TRUE(dynamic_cast<FilePropLoader*>(CreateLoaderForClassId(cls::FileProp).get()));
  EXPECT_TRUE(dynamic_cast<ListPropLoader*>(CreateLoaderForClassId(cls::ListProp).get()));
  EXPECT_TRUE(dynamic_cast<RangePropLoader*>(CreateLoaderForClassId(cls::RangeProp).get()));
  EXPECT_TRUE(dynamic_cast<EntityDeclLoader*>(CreateLoaderForClassId(cls::Entity).get()));
  EXPECT_TRUE(dynamic_cast<ModuleLoader*>(CreateLoaderForClassId(cls::Module).get()));
  EXPECT_TRUE(dynamic_cast<ParserConfigHolderLoader*>(CreateLoaderForClassId(cls::ParserConfigHolder).get()));
  EXPECT_TRUE(dynamic_cast<DdmFileLoader*>(CreateLoaderForClassId(cls::DdmFile).get()));
  EXPECT_TRUE(dynamic_cast<DdmDesignUnitLoader*>(CreateLoaderForClassId(cls::DesignUnit).get()));
  EXPECT_TRUE(dynamic_cast<XuidKeyMapLoader*>(CreateLoaderForClassId(cls::KeyMap).get()));
  EXPECT_TRUE(dynamic_cast<CheckPointLoader*>(CreateLoaderForClassId(cls::CheckPoint).get()));
  EXPECT_FALSE(CreateLoaderForClassId(XUID(1, 2)));
  // The loaders answer only their persistence and the root id, and report no class.
  auto loader = CreateLoaderForClassId(cls::ViewAssoc);
  EXPECT_TRUE(loader->QueryInterface(Prjrep::IPersist::GetIID()) && !loader->QueryInterface(XUID(3, 3)));
  Port::XUID id(7, 7);
  EXPECT_TRUE(loader->GetClassId(id) == kFailure && id == XUID(7, 7));
  EXPECT_TRUE(loader->SetId(XUID(1, 9)) == kSuccess && loader->GetId(id) == kSuccess && id == XUID(1, 9));
}

TEST_F(OldLoadersTest, DamagedRecordsEndAtTheFirstFailedReadWithoutRunningThroughTheirCounts) {
  DdmFileLoader none;
  EXPECT_EQ(none.PersistLoad(nullptr), Hvd::kInvalidParameter);

  IStorage* s = Record();  // an id list that claims 2^31-1 entries and holds one
  std::ignore = w::WriteVersion(s, 1);
  std::ignore = w::WriteInt(s, 0);
  std::ignore = w::WriteXuid(s, XUID(1, 1));
  std::ignore = w::WriteInt(s, 0x7fffffff);
  std::ignore = w::WriteXuid(s, XUID(2, 2));
  const std::int64_t before = Operations();
  ParserConfigHolderLoader holder;
  EXPECT_EQ(Load(holder), kFailure);
  EXPECT_EQ(holder.ChildIds.size(), 1u);
  EXPECT_LT(Operations() - before, 10);

  s = Record();  // a key map of -1 pairs, then a record cut short
  std::ignore = w::WriteVersion(s, 13);
  std::ignore = w::WriteInt(s, -1);
  XuidKeyMapLoader map;
  EXPECT_TRUE(Load(map) == kSuccess && map.ViewAssocId.IsNull());

  DdmFile(Record(), 13, XUID(1, 5), 0, "/p/top.vhd", XUID(6, 6));
  AutoCast<Prjrep::IStorageControl>(m_stream.Get())->FailOperation(12, kFailure);
  DdmFileLoader cut;
  EXPECT_EQ(Load(cut), kFailure);
  EXPECT_TRUE(cut.FileName.empty() && cut.ViewAssocId.IsNull());

  s = Record();  // values of the wrong kind
  std::ignore = w::WriteString(s, "not a version");
  CheckPointLoader wrong;
  EXPECT_TRUE(Load(wrong) == kFailure && wrong.Name.empty());
}

// Records cut short inside a string, a Boolean or a 32-bit value: the load fails there, keeps
// what it read before and leaves the rest as a fresh loader has it.
TEST_F(OldLoadersTest, RecordsCutShortAtAStringABooleanOrA32BitValueKeepWhatCameBefore) {
  IStorage* s = Record();  // a snapshot without its comment and file name
  std::ignore = w::WriteVersion(s, 1);
  std::ignore = w::WriteString(s, "s1");
  CheckPointLoader snapshot;
  EXPECT_EQ(Load(snapshot), kFailure);
  EXPECT_TRUE(snapshot.Name == "s1" && snapshot.Comment.empty() && snapshot.HlcFileName.empty());

  s = Record();  // a Boolean property without its value
  std::ignore = w::WriteVersion(s, 10);
  std::ignore = w::WriteString(s, "PROP_B");
  std::ignore = w::WriteBool(s, false);
  std::ignore = w::WriteWide(s, 0);
  std::ignore = w::WriteWide(s, 0);
  std::ignore = w::WriteBool(s, true);   // no header
  std::ignore = w::WriteBool(s, false);  // no optional block
  BoolPropLoader flag;
  EXPECT_EQ(Load(flag), kFailure);
  EXPECT_TRUE(flag.Name == "PROP_B" && flag.Value.empty()) << flag.Value.str();

  s = Record();  // an integer property whose value is of another kind
  std::ignore = w::WriteVersion(s, 10);
  std::ignore = w::WriteString(s, "PROP_I");
  std::ignore = w::WriteBool(s, false);
  std::ignore = w::WriteWide(s, 0);
  std::ignore = w::WriteWide(s, 0);
  std::ignore = w::WriteBool(s, true);
  std::ignore = w::WriteBool(s, false);
  std::ignore = w::WriteString(s, "12");
  IntPropLoader number;
  EXPECT_EQ(Load(number), kFailure);
  EXPECT_TRUE(number.Name == "PROP_I" && number.Value.empty()) << number.Value.str();

  s = Record();  // a file record that ends before its origination count
  std::ignore = w::WriteVersion(s, 13);
  Header(s, "ddm");
  std::ignore = w::WriteXuid(s, XUID(1, 5));
  std::ignore = w::WriteBool(s, false);
  DdmFileLoader file;
  EXPECT_EQ(Load(file), kFailure);
  EXPECT_TRUE(file.LibraryId == XUID(1, 5) && file.Origination == "generated" && file.Ids.empty() &&
              file.FileName.empty());
}

TEST_F(OldLoadersTest, ArchitecturesPackagesAndIntegerPropertiesHaveLoadersOfTheirOwn) {
  const auto number = CreateLoaderForClassId(cls::IntProp);
  EXPECT_TRUE(dynamic_cast<IntPropLoader*>(number.get()) && !dynamic_cast<RangePropLoader*>(number.get()));
  EXPECT_TRUE(dynamic_cast<ArchLoader*>(CreateLoaderForClassId(cls::Arch).get()));
  EXPECT_TRUE(dynamic_cast<PackageDeclLoader*>(CreateLoaderForClassId(cls::PackageDecl).get()));
  EXPECT_TRUE(dynamic_cast<PackageBodyLoader*>(CreateLoaderForClassId(cls::PackageBody).get()));
  // The comparison takes both halves of the id: one half alone is no class of the table.
  EXPECT_FALSE(CreateLoaderForClassId(XUID(cls::Arch.First(), 0)));
  EXPECT_FALSE(CreateLoaderForClassId(XUID(0, cls::Arch.Second())));
}

// An older repository read whole: its design units reach their files through architectures,
// package declarations and package bodies, and an integer property is listed as its text.
class OldRepositoryReadTest : public xhlc_test::XhlcProject {};

TEST_F(OldRepositoryReadTest, DesignUnitsReachTheirFilesThroughEveryElementKindAndNumbersAreListedAsText) {
  Prjrep::old::RepositoryWriter writer;
  writer.SetProjectVersion(12);
  const XUID lib(1, 1);
  SourceLibrary(writer.AddObject(lib, cls::SourceLibrary), "mylib");
  const XUID elementClasses[] = {cls::Arch, cls::PackageDecl, cls::PackageBody};
  const std::int32_t bits[] = {0x1, 0x8, 0x9};
  for (std::uint64_t n = 0; n < 3; ++n) {
    const XUID ddm(2, n), hdl(3, n), holder(4, n), element(5, n), assoc(6, n);
    DdmFile(writer.AddObject(ddm, cls::DdmFile), 12, lib, 0, "", XUID(), hdl);
    HdlFile(writer.AddObject(hdl, cls::HdlFile), 10, XUID(), "/p/f" + std::to_string(n) + ".vhd", ddm);
    DbObject(writer.AddObject(holder, cls::ParserConfigHolder), 5, hdl);
    HdlElement(writer.AddObject(element, elementClasses[n]), 12, holder, XUID());
    ViewAssoc(writer.AddObject(assoc, cls::ViewAssoc), bits[n]);
    DesignUnit(writer.AddObject(XUID(8, n), cls::DesignUnit), 4, element, assoc);
  }
  oldproject::Property(writer.AddObject(XUID(9, 1), cls::IntProp), PropKind::Int, 10, "PROP_DevSpeed", "-5");
  oldproject::Property(writer.AddObject(XUID(9, 2), cls::IntProp), PropKind::Int, 9, "PROP_Effort", "2147483647", false,
                       true);
  const std::string path = (m_dir / "old.hlc").string();
  ASSERT_TRUE(writer.Save(path));

  RepoMine miner(path.c_str());
  ASSERT_EQ(miner.OpenRepository(), kSuccess);
  EXPECT_EQ(miner.FileList().str(),
            "list [ list {/p/f0.vhd} {mylib} {user} {implementation} ] "
            "[ list {/p/f1.vhd} {mylib} {user} {simulation} ] [ list {/p/f2.vhd} {mylib} {user} {all} ] ");
  EXPECT_EQ(miner.PropertyList().str(), "list [list PROP_DevSpeed {-5} ] [list PROP_Effort {2147483647} ] ");
  EXPECT_FALSE(xhlc_test::Captured(Port_MsgManData::Severity::Debug, "Could not find"));
  EXPECT_FALSE(xhlc_test::Captured(Port_MsgManData::Severity::Debug, "Skipped the damaged record"));
}

}  // namespace
