#include "platform/file_store.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace korvane::platform {
namespace {

namespace fs = std::filesystem;

class FileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("korvane-file-store-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Folder() const { return dir_.string() + "/"; }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  // Every name in the folder, so a test sees leftovers such as temporary files.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_))
      names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

TEST_F(FileStoreTest, TakenNamesGetTheNextFreeNumberAndNothingIsReplaced) {
  const std::string path = Folder() + "140709.png";
  EXPECT_EQ(SaveNewFile(path, "one"), path);
  EXPECT_EQ(SaveNewFile(path, "two"), Folder() + "140709_2.png");
  EXPECT_EQ(SaveNewFile(path, std::string("th\0ree", 6)), Folder() + "140709_3.png");
  EXPECT_EQ(Read(path), "one");
  EXPECT_EQ(Read(Folder() + "140709_2.png"), "two");
  EXPECT_EQ(Read(Folder() + "140709_3.png"), std::string("th\0ree", 6));
  EXPECT_EQ(Names(), (std::vector<std::string>{"140709.png", "140709_2.png", "140709_3.png"}));
}

TEST_F(FileStoreTest, FailuresLeaveNothingBehind) {
  EXPECT_EQ(SaveNewFile(Folder() + "missing/140709.png", "x"), std::nullopt);
  EXPECT_EQ(SaveNewFile(Folder(), "x"), std::nullopt);  // a folder, not a file name
  std::stop_source stopped;
  stopped.request_stop();
  EXPECT_EQ(SaveNewFile(Folder() + "140709.png", "x", stopped.get_token()), std::nullopt);
  EXPECT_TRUE(Names().empty());
}

TEST_F(FileStoreTest, GbkNamesAreStoredAsUtf8) {
  // "图标" in GBK, the way the program holds a folder or file name.
  const std::string gbkName = Folder() +
                              "\xCD\xBC\xB1\xEA"
                              "140709.png";
  EXPECT_EQ(SaveNewFile(gbkName, "png"), gbkName);
  EXPECT_EQ(Names(), std::vector<std::string>{"\xE5\x9B\xBE\xE6\xA0\x87"
                                              "140709.png"});
}

TEST(FileStore, NumberedNames) {
  EXPECT_EQ(NumberedName("/a/140709.png", 1), "/a/140709.png");
  EXPECT_EQ(NumberedName("/a/140709.png", 2), "/a/140709_2.png");
  EXPECT_EQ(NumberedName("/a.b/icons", 3), "/a.b/icons_3");
  EXPECT_EQ(NumberedName("/a/x.tar.png", 2), "/a/x.tar_2.png");
}

}  // namespace
}  // namespace korvane::platform
