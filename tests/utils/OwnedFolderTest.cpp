// The one proof of the folders the library makes and takes away again: a token in the one form
// the library writes.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "utils/OwnedFolder.h"

namespace {

namespace fs = std::filesystem;
namespace OF = Hvd::OwnedFolder;

class OwnedFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_root = fs::temp_directory_path() / ("owned_" + std::to_string(::getpid()) + "_" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_root);
    fs::create_directories(m_root);
  }
  void TearDown() override { fs::remove_all(m_root); }
  static void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path m_root;
};

// Only 32 lowercase hexadecimal digits are a token: a short one, a long one, one of capitals or
// of other letters proves nothing even where the mark holds it as the record does, and such a
// folder stays with what it holds. A mark alone, holding nothing or a token, is nothing to lose.
TEST_F(OwnedFolderTest, ATokenOfAnyOtherFormProvesNothing) {
  const std::string token = OF::NewToken();
  EXPECT_TRUE(OF::IsToken(token));
  EXPECT_NE(OF::NewToken(), token);
  for (const std::string& other : {std::string("a"), std::string(""), token.substr(1), token + "0",
                                   std::string(32, 'A'), std::string(31, '0') + "g", token + "\n"}) {
    EXPECT_FALSE(OF::IsToken(other)) << other;
    const fs::path folder = m_root / "planted";
    fs::create_directories(folder);
    EXPECT_FALSE(OF::Mark(folder, ".mark", other)) << other;
    Write(folder / ".mark", other + "\n");
    Write(folder / "notes.txt", "the user's");
    EXPECT_FALSE(OF::Proves(folder, ".mark", other)) << other;
    EXPECT_FALSE(OF::Remove(folder, ".mark", other)) << other;
    EXPECT_EQ(Read(folder / "notes.txt"), "the user's") << other;
    fs::remove_all(folder);
  }
  const fs::path made = m_root / "made";
  const std::string own = OF::Make(made, ".mark");
  ASSERT_TRUE(OF::IsToken(own));
  EXPECT_TRUE(OF::Proves(made, ".mark", own));
  EXPECT_TRUE(OF::Make(made, ".mark").empty()) << "never one that is there";
  EXPECT_TRUE(OF::HoldsNothing(made, ".mark"));
  Write(made / "notes.txt", "the user's");
  EXPECT_FALSE(OF::Remove(made, ".mark", token)) << "another token";
  EXPECT_TRUE(OF::Remove(made, ".mark", own));
  EXPECT_FALSE(fs::exists(made));
}

// What a removal passes over keeps the folder, and the folder keeps its proof: it still proves
// itself the next time, once that is gone.
TEST_F(OwnedFolderTest, AFolderThatCannotGoKeepsItsProof) {
  const fs::path made = m_root / "made";
  const std::string own = OF::Make(made, ".mark");
  ASSERT_TRUE(OF::IsToken(own));
  Write(made / "notes.txt", "ours");
  ASSERT_EQ(::mkfifo((made / "pipe").c_str(), 0600), 0);
  EXPECT_FALSE(OF::Remove(made, ".mark", own));
  EXPECT_FALSE(fs::exists(made / "notes.txt"));
  EXPECT_TRUE(OF::Proves(made, ".mark", own));
  fs::remove(made / "pipe");
  EXPECT_TRUE(OF::Remove(made, ".mark", own));
  EXPECT_FALSE(fs::exists(made));
}

}  // namespace
