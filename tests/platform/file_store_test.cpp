#include "platform/file_store.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
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

// True when the folder's file system can make unnamed files (O_TMPFILE).
bool UnnamedFilesWork(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0)
    return false;
  ::close(fd);
  return true;
}

// Every test runs both ways: through an unnamed file, and through the named temporary file that
// a file system without O_TMPFILE gets.
class FileStoreWays : public FileStoreTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    FileStoreTest::SetUp();
    seams_.unnamedTemporary = GetParam();
    if (GetParam() && !UnnamedFilesWork(Folder()))
      GTEST_SKIP() << "no O_TMPFILE on the file system of " << Folder();
  }
  std::optional<std::string> Save(const std::string& path, std::string_view bytes,
                                  std::stop_token stop = {}, SaveFailure* failure = nullptr) {
    return SaveNewFile(path, bytes, std::move(stop), failure, seams_);
  }
  SaveSeams seams_;
};

INSTANTIATE_TEST_SUITE_P(Temporary, FileStoreWays, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Unnamed" : "Named"; });

TEST_P(FileStoreWays, TakenNamesGetTheNextFreeNumberAndNothingIsReplaced) {
  const std::string path = Folder() + "140709.png";
  EXPECT_EQ(Save(path, "one"), path);
  EXPECT_EQ(Save(path, "two"), Folder() + "140709_2.png");
  EXPECT_EQ(Save(path, std::string("th\0ree", 6)), Folder() + "140709_3.png");
  EXPECT_EQ(Read(path), "one");
  EXPECT_EQ(Read(Folder() + "140709_2.png"), "two");
  EXPECT_EQ(Read(Folder() + "140709_3.png"), std::string("th\0ree", 6));
  EXPECT_EQ(Names(), (std::vector<std::string>{"140709.png", "140709_2.png", "140709_3.png"}));
  // A saved picture is readable by others like any new file (not private as a temp file is).
  const mode_t mask = ::umask(022);
  ::umask(mask);
  EXPECT_EQ(fs::status(path).permissions(), static_cast<fs::perms>(0666 & ~mask) & fs::perms::all);
}

// The process remembers the next number per name, so the twelfth picture of one second does not
// probe eleven taken names; what the folder holds still decides every name.
TEST_P(FileStoreWays, RememberedNumbersNeverOverrideTheFolder) {
  const std::string path = Folder() + "101010.png";
  const auto numbered = [&](int n) { return n == 1 ? path : NumberedName(path, n); };
  for (int n = 1; n <= 12; ++n)
    EXPECT_EQ(Save(path, std::to_string(n)), numbered(n));

  // A foreign file on the remembered number: the next one is taken instead, nothing replaced.
  std::ofstream(numbered(13)) << "foreign";
  EXPECT_EQ(Save(path, "14"), numbered(14));
  EXPECT_EQ(Read(numbered(13)), "foreign");

  // The folder emptied (as between two runs): plain names again, then 2, not 15.
  for (const auto& entry : fs::directory_iterator(dir_))
    fs::remove(entry.path());
  EXPECT_EQ(Save(path, "a"), path);
  EXPECT_EQ(Save(path, "b"), numbered(2));

  // Only the plain name left of a long series: numbers restart densely at 2.
  for (int n = 3; n <= 20; ++n)
    std::ofstream(numbered(n)) << n;
  EXPECT_EQ(Save(path, "c"), numbered(21));
  fs::remove(numbered(2));
  for (int n = 3; n <= 21; ++n)
    fs::remove(numbered(n));
  EXPECT_EQ(Save(path, "d"), numbered(2));
  EXPECT_EQ(Names(), (std::vector<std::string>{"101010.png", "101010_2.png"}));
}

TEST_P(FileStoreWays, FailuresLeaveNothingBehindAndSayWhy) {
  SaveFailure failure;
  EXPECT_EQ(Save(Folder() + "missing/140709.png", "x", {}, &failure), std::nullopt);
  EXPECT_EQ(failure.error, ENOENT);
  EXPECT_EQ(DescribeSaveFailure(failure), "create a temporary file: No such file or directory");
  EXPECT_EQ(Save(Folder(), "x"), std::nullopt);  // a folder, not a file name
  std::stop_source stopped;
  stopped.request_stop();
  EXPECT_EQ(Save(Folder() + "140709.png", "x", stopped.get_token(), &failure), std::nullopt);
  EXPECT_EQ(DescribeSaveFailure(failure), "stopped");
  EXPECT_TRUE(Names().empty());
}

TEST_P(FileStoreWays, GbkNamesAreStoredAsUtf8) {
  // "图标" in GBK, the way the program holds a folder or file name.
  const std::string gbkName = Folder() +
                              "\xCD\xBC\xB1\xEA"
                              "140709.png";
  EXPECT_EQ(Save(gbkName, "png"), gbkName);
  EXPECT_EQ(Names(), std::vector<std::string>{"\xE5\x9B\xBE\xE6\xA0\x87"
                                              "140709.png"});
}

TEST_P(FileStoreWays, OnlyTheNamedWayShowsAFileBeforeItIsComplete) {
  std::vector<std::string> whileWriting;
  seams_.beforeNaming = [&] { whileWriting = Names(); };
  EXPECT_TRUE(Save(Folder() + "140709.png", "png"));
  if (GetParam()) {
    EXPECT_TRUE(whileWriting.empty());
  } else {
    ASSERT_EQ(whileWriting.size(), 1u);
    EXPECT_TRUE(whileWriting[0].starts_with(".korvane-")) << whileWriting[0];
  }
  EXPECT_EQ(Names(), std::vector<std::string>{"140709.png"});
}

TEST_P(FileStoreWays, AProcessKilledMidSaveLeavesNothingWhereTheFileSystemAllows) {
  seams_.beforeNaming = [] { ::raise(SIGKILL); };
  EXPECT_EXIT(Save(Folder() + "140709.png", std::string(1 << 20, 'p')),
              ::testing::KilledBySignal(SIGKILL), "");
  // An unnamed file goes with the process; the named fallback cannot help leaving its file.
  EXPECT_EQ(Names().size(), GetParam() ? 0u : 1u);
}

TEST(FileStore, NumberedNames) {
  EXPECT_EQ(NumberedName("/a/140709.png", 1), "/a/140709.png");
  EXPECT_EQ(NumberedName("/a/140709.png", 2), "/a/140709_2.png");
  EXPECT_EQ(NumberedName("/a.b/icons", 3), "/a.b/icons_3");
  EXPECT_EQ(NumberedName("/a/x.tar.png", 2), "/a/x.tar_2.png");
}

}  // namespace
}  // namespace korvane::platform
