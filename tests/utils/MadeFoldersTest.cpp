// What a refused command takes back of the folders it made on the way to a path.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
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
  EXPECT_TRUE(fs::is_directory(root));
  fs::remove_all(root);
}

}  // namespace
