// What a refused command takes back of the folders it made on the way to a path.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "Port/FaultInjection.h"
#include "Port/MsgMan.h"
#include "utils/MadeFolders.h"

namespace {

namespace fs = std::filesystem;

// Only the folders made that hold nothing go, the deepest first: one that holds something now
// stays with those above it, silently, as does the one that was there; one that another stands in
// place of, or that could not be removed, is named, the latter with the system's reason.
TEST(MadeFoldersTest, OnlyTheFoldersMadeThatHoldNothingGoAndOneThatCannotIsNamed) {
  const fs::path root = fs::temp_directory_path() / ("made_" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root);
  Port_MsgManData::ClearCaptured();
  Hvd::MadeFolders made;
  ASSERT_TRUE(made.Make((root / "a/b/c").string()));
  std::ofstream(root / "a/b/notes.txt") << "put there meanwhile";
  EXPECT_TRUE(made.TakeBack());
  EXPECT_FALSE(fs::exists(root / "a/b/c"));
  EXPECT_TRUE(fs::is_regular_file(root / "a/b/notes.txt"));
  EXPECT_TRUE(Port_MsgManData::Captured().empty());

  // One that another stands in place of now (the one made moved away, another made at its name)
  // is left, named, and so is the folder above, which holds it.
  ASSERT_TRUE(made.Make((root / "m/n").string()));
  fs::rename(root / "m/n", root / "m/moved");
  fs::create_directory(root / "m/n");
  EXPECT_FALSE(made.TakeBack());
  EXPECT_TRUE(fs::is_directory(root / "m/n") && fs::is_directory(root / "m/moved"));
  ASSERT_EQ(Port_MsgManData::Captured().size(), 1u);
  EXPECT_EQ(Port_MsgManData::Captured()[0].text,
            "The folder \"" + (root / "m/n").string() + "\" this command made is left: another is at its name now.\n");
  Port_MsgManData::ClearCaptured();

  ASSERT_TRUE(made.Make((root / "x/y").string()));
  Port::FaultInjection::Scope faults;
  Port::FaultInjection::Fail("rmdir", 2, (root / "x").string());  // "x/y" goes, "x" does not
  EXPECT_FALSE(made.TakeBack());
  EXPECT_FALSE(fs::exists(root / "x/y"));
  const std::string named = "The folder \"" + (root / "x").string() + "\" this command made could not be removed: " +
                            std::strerror(EIO) + ".\n";
  ASSERT_EQ(Port_MsgManData::Captured().size(), 1u);
  EXPECT_EQ(Port_MsgManData::Captured()[0].text, named);

  // A folder on the way put in place of its own by a link, between the look and the removal,
  // leads the removal nowhere else: the empty folder of that name where the link leads stays.
  Port::FaultInjection::Clear();
  ASSERT_TRUE(made.Make((root / "c/d").string()));
  fs::create_directories(root / "elsewhere/d");
  Port::FaultInjection::Act("rmdir", 1, (root / "c/d").string(), [&root] {
    fs::rename(root / "c", root / "c_moved");
    fs::create_directory_symlink(root / "elsewhere", root / "c");
  });
  EXPECT_FALSE(made.TakeBack());
  EXPECT_TRUE(fs::is_directory(root / "elsewhere/d"));
  EXPECT_FALSE(fs::exists(root / "c_moved/d"));
  EXPECT_TRUE(fs::is_symlink(root / "c"));

  // Folders made that another took away already, with a file written there, are passed over in
  // silence, and the one above them that now holds nothing goes.
  Port_MsgManData::ClearCaptured();
  ASSERT_TRUE(made.Make((root / "g/h/i").string()));
  std::ofstream(root / "g/h/i/written.txt") << "written";
  made.Wrote((root / "g/h/i/written.txt").string());
  fs::remove_all(root / "g/h");
  EXPECT_TRUE(made.TakeBack() && !fs::exists(root / "g") && Port_MsgManData::Captured().empty());

  // What was set aside goes back when the result is kept with nothing in its place.
  std::ofstream(root / "u") << "user's";
  ASSERT_TRUE(made.SetAside((root / "u").string()));
  made.Keep();
  std::ifstream back(root / "u");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(back), {}), "user's");
  // What was set aside that cannot go when the result is kept is named, where it is kept, and why.
  fs::create_symlink("elsewhere", root / "l");
  ASSERT_TRUE(made.SetAside((root / "l").string()));
  std::ofstream(root / "l") << "copy";
  Port::FaultInjection::Fail("remove_f", 0, (root / "l.aside-").string());
  made.Keep();
  ASSERT_EQ(Port_MsgManData::Captured().size(), 1u);
  const std::string said = Port_MsgManData::Captured()[0].text;
  EXPECT_EQ(said.rfind("What was at \"" + (root / "l").string() + "\", kept as \"" + (root / "l.aside-").string(), 0),
            0u);
  EXPECT_TRUE(said.ends_with(std::string("\", could not be removed: ") + std::strerror(EIO) + ".\n")) << said;
  fs::remove_all(root);
}

}  // namespace
