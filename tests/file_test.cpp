// file_test.cpp - files and paths: taking path names apart, listings and
// the working directory, drives and directories, matching, and checking
// path names; every case runs on drives C: and D: mapped to temporary
// directories, in C:\work\src\, and checks that what it visited was left
// as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "qorb32n.h"
#include "support/mapped_drives.h"
#include "support/posix_only.h"

namespace {

namespace fs = std::filesystem;

class Fil : public testing::Test {
 protected:
  Fil() { ErrInitialize(ERR_MODE_CONSOLE, "filetest", 0, 0, 0, 0); }
  void SetUp() override { QORB_NEEDS_TEST_DRIVES(); }

  static std::string Path() {
    char buffer[256];
    return FilGetPath(buffer);
  }
  static std::string DriveWorkingDirectory(int drive) {
    char buffer[256] = "";
    qorb::plat::ReadDriveWorkingDirectory(drive, buffer, sizeof buffer);
    return buffer;
  }
  // The current drive, its working directory and D:'s are where they began.
  static void ExpectUnmoved() {
    EXPECT_EQ(Path(), "C:\\work\\src\\");
    EXPECT_EQ(DriveWorkingDirectory(4), "D:\\data");
  }
  static std::pair<uint32_t, uint32_t> Counters() {
    uint32_t bytes = 0, blocks = 0;
    MemQueryStatus(&bytes, &blocks);
    return {bytes, blocks};
  }

  qorb::test::MappedDrives drives_;
};

using InPlaceFunction = int (*)(char *);
using TwinFunction = int (*)(char *, const char *);

// Each piece is found (1) exactly when it is not empty, except for the
// name and the extension, which always say 1.
struct Decomposition {
  const char *name;
  InPlaceFunction inPlace;
  TwinFunction twin;
  bool alwaysFound;
};

const Decomposition kDisk{"DiskOf", FilDiskOf, FilGetDiskOf, false};
const Decomposition kDir{"DirOf", FilDirOf, FilGetDirOf, false};
const Decomposition kPath{"PathOf", FilPathOf, FilGetPathOf, false};
const Decomposition kFileName{"FileNameOf", FilFileNameOf, FilGetFileNameOf, false};
const Decomposition kParent{"ParentOf", FilParentOf, FilGetParentOf, false};
const Decomposition kDirName{"DirNameOf", FilDirNameOf, FilGetDirNameOf, false};
const Decomposition kName{"NameOfFileName", FilNameOfFileName, FilGetNameOfFileName, true};
const Decomposition kExt{"ExtOfFileName", FilExtOfFileName, FilGetExtOfFileName, true};
const Decomposition *const kAll[] = {&kDisk,   &kDir,     &kPath, &kFileName,
                                     &kParent, &kDirName, &kName, &kExt};

struct PathPiece {
  const char *path, *piece;
};

const struct {
  const Decomposition &operation;
  std::vector<PathPiece> cases;
} kDecompositions[] = {
    {kDisk, {{"C:\\a\\b.txt", "C:"}, {"\\a\\b.txt", ""}, {"x:abc", "x:"}, {"a", ""}, {"", ""}}},
    {kDir, {{"C:\\a\\b\\c.txt", "\\a\\b\\"}, {"C:\\c.txt", "\\"}, {"a\\b", "a\\"}}},
    {kDir, {{"C:c.txt", ""}}},
    {kPath, {{"C:\\a\\b\\c.txt", "C:\\a\\b\\"}, {"C:c.txt", "C:"}, {"c.txt", ""}}},
    {kFileName, {{"C:\\a\\b\\c.txt", "c.txt"}, {"C:c.txt", "c.txt"}, {"c.txt", "c.txt"}}},
    {kFileName, {{"C:\\a\\", ""}}},
    {kParent, {{"C:\\a\\b\\c", "C:\\a\\b\\"}, {"C:\\a\\b\\", "C:\\a\\"}, {"\\a\\b", "\\a\\"}}},
    {kParent, {{"\\a", "\\"}, {"C:\\a", "\\"}, {"a\\b", "\\"}}},
    {kParent, {{"C:\\", ""}, {"\\", ""}, {"abc", ""}, {"", ""}}},
    {kDirName, {{"C:\\a\\b\\c.txt", "b"}, {"C:\\a\\b\\", "b"}, {"\\a\\b", "a"}, {"a\\c.txt", "a"}}},
    {kDirName, {{"C:\\c.txt", "\\"}, {"\\c.txt", "\\"}, {"c.txt", ""}, {"C:", ""}}},
    {kName, {{"C:\\a\\b.c.txt", "b.c"}, {"C:\\a.b\\c", "c"}, {"C:x.txt", "C:x"}, {".profile", ""}}},
    {kExt, {{"C:\\a\\b.txt", "txt"}, {"name.", ""}, {"C:\\a.b\\c", "b\\c"}, {"abc", ""}}},
};

TEST_F(Fil, DecompositionsGiveTheDocumentedPieces) {
  for (const auto &[d, cases] : kDecompositions) {
    for (const auto &[path, piece] : cases) {
      SCOPED_TRACE(std::string(d.name) + " of \"" + path + "\"");
      char buffer[64];
      std::strcpy(buffer, path);
      EXPECT_EQ(d.inPlace(buffer), d.alwaysFound || *piece != '\0' ? 1 : 0);
      EXPECT_STREQ(buffer, piece);

      // The twin writes the same piece, keeps its source and always says 1.
      char source[64];
      char destination[64];
      std::strcpy(source, path);
      std::memset(destination, '#', sizeof destination);
      EXPECT_EQ(d.twin(destination, source), 1);
      EXPECT_STREQ(destination, piece);
      EXPECT_STREQ(source, path);

      // Source and destination may be one buffer.
      std::strcpy(buffer, path);
      EXPECT_EQ(d.twin(buffer, buffer), 1);
      EXPECT_STREQ(buffer, piece);
    }
  }
}

TEST_F(Fil, DecompositionsHandleLongPathsWholeAndRefuseNull) {
  // Far beyond the 255 characters of a path name: the pieces are still right.
  const std::string deep = "C:" + std::string(300, 'd') + "\\" + std::string(300, 'e') + "\\f.x";
  std::string buffer = deep;
  EXPECT_EQ(FilParentOf(buffer.data()), 1);
  EXPECT_STREQ(buffer.c_str(), deep.substr(0, deep.size() - 3).c_str());
  buffer = deep;
  EXPECT_EQ(FilDirNameOf(buffer.data()), 1);
  EXPECT_STREQ(buffer.c_str(), std::string(300, 'e').c_str());
  std::string copy(deep.size() + 1, '#');
  EXPECT_EQ(FilGetNameOfFileName(copy.data(), deep.c_str()), 1);
  EXPECT_STREQ(copy.c_str(), "f");

  char text[] = "C:\\a";
  for (const Decomposition *d : kAll) {
    EXPECT_EQ(d->inPlace(nullptr), 0) << d->name;
    EXPECT_EQ(d->twin(nullptr, text), 0) << d->name;
    EXPECT_EQ(d->twin(text, nullptr), 0) << d->name;
    EXPECT_STREQ(text, "C:\\a") << d->name;
  }
}

// Takes a whole file listing (or subdirectory listing, when pattern ends
// with a backslash) and checks that its end nulls the handle.
std::set<std::string> ListAll(const char *pattern, bool directories, int *count = nullptr) {
  std::set<std::string> entries;
  FilListing *handle = nullptr;
  char out[260];
  int n = 0;
  while ((directories ? FilGetNextPath(&handle, pattern, out)
                      : FilGetNextPathName(&handle, pattern, out, 0)) != 0) {
    entries.insert(out);
    ++n;
  }
  EXPECT_EQ(handle, nullptr);
  if (count != nullptr) *count = n;
  return entries;
}

TEST_F(Fil, ListingsGiveFullNamesAndFreeEverythingAtTheEnd) {
  for (const char *name : {"C:\\work\\a.txt", "C:\\work\\b.TXT", "C:\\work\\c.log",
                           "D:\\data\\x.txt", "C:\\data\\f.txt"}) {
    drives_.MakeFile(name);
  }
  for (const char *name : {"C:\\work\\sub.txt", "C:\\data\\x", "C:\\data\\y"}) {
    drives_.MakeDirectory(name);
  }
  const auto before = Counters();
  ASSERT_EQ(FilSetPath("C:\\work"), 1u);
  EXPECT_EQ(ListAll("*.txt", false), (std::set<std::string>{"C:\\work\\a.txt", "C:\\work\\b.TXT"}));
  ASSERT_EQ(FilSetPath("C:\\work\\src\\"), 1u);
  EXPECT_EQ(ListAll("..\\*.log", false), std::set<std::string>{"C:\\work\\c.log"});
  EXPECT_EQ(ListAll("D:*.txt", false), std::set<std::string>{"D:\\data\\x.txt"});
  ExpectUnmoved();
  EXPECT_EQ(ListAll("C:\\data\\", true), (std::set<std::string>{"C:\\data\\.\\", "C:\\data\\..\\",
                                                                "C:\\data\\x\\", "C:\\data\\y\\"}));
  std::set<std::string> root{"C:\\data\\", "C:\\work\\"};
  for (const qorb::test::RootEntry &entry : drives_.ForeignRootEntries('C')) {
    if (entry.directory) root.insert("C:\\" + entry.name + "\\");
  }
  EXPECT_EQ(ListAll("C:\\", true), root);
  // Only directories match, nothing matches, nowhere to look, above the root.
  int count = -1;
  for (const char *pattern :
       {"C:\\work\\sub*", "*.none", "C:\\nowhere\\*", "..\\..\\..\\*", "Q:\\*.txt"}) {
    EXPECT_TRUE(ListAll(pattern, false, &count).empty()) << pattern;
    EXPECT_EQ(count, 0);
  }
  EXPECT_TRUE(ListAll("C:\\nowhere\\", true).empty());
  ExpectUnmoved();
  EXPECT_EQ(Counters(), before);

  // Stopping early keeps the rest allocated until the listing is drained.
  FilListing *handle = nullptr;
  char out[260];
  ASSERT_EQ(FilGetNextPath(&handle, "C:\\data\\", out), 1u);
  EXPECT_GT(Counters().second, before.second);
  while (FilGetNextPath(&handle, "C:\\data\\", out) != 0) {
  }
  EXPECT_EQ(Counters(), before);
}

TEST_F(Fil, SetPathAndGetPath) {
  drives_.MakeDirectory("C:\\tmp");
  EXPECT_EQ(FilSetPath("D:"), 1u);
  EXPECT_EQ(Path(), "D:\\data\\");
  EXPECT_EQ(FilSetPath("D:\\nowhere\\"), 0u);
  EXPECT_EQ(Path(), "D:\\data\\");  // the drive changed, the directory did not
  char tmp[] = "\\tmp\\";
  EXPECT_EQ(FilSetPath("c:"), 1u);
  EXPECT_EQ(FilSetPath(tmp), 1u);
  EXPECT_STREQ(tmp, "\\tmp\\");
  EXPECT_EQ(Path(), "C:\\tmp\\");
  EXPECT_EQ(FilSetPath("\\"), 1u);
  EXPECT_EQ(Path(), "C:\\");
  EXPECT_EQ(FilSetPath("Q:\\"), 0u);
  EXPECT_EQ(FilSetPath("work\\src"), 1u);
  ExpectUnmoved();
}

TEST_F(Fil, DrivesAndFreeSpace) {
  for (const char *path : {"c:\\x", "D:", "d:nothing"}) EXPECT_EQ(FilDiskExists(path), 1u) << path;
  for (const char *path : {"1:", "C", "", "Q:", "[:", "\xC3:"}) {
    EXPECT_EQ(FilDiskExists(path), 0u) << path;
  }
  constexpr uint32_t kC = 1u << 2, kD = 1u << 3, kQ = 1u << 16;
  EXPECT_EQ(FilGetDiskMap() & (kC | kD | kQ), kC | kD);
  EXPECT_EQ(FilUnmapDrive('C'), 0u);  // the current drive
  EXPECT_EQ(FilMapDrive('1', "/"), 0u);
  ExpectUnmoved();

  // Free bytes wrap at 32 bits; the volume may change between readings.
  qorb::plat::DiskSpace before{}, after{};
  uint32_t free = 0;
  for (int attempt = 0; attempt < 5; ++attempt) {
    ASSERT_TRUE(qorb::plat::QueryDiskSpace("C:\\", &before));
    free = FilGetPathFree("C:\\");
    ASSERT_TRUE(qorb::plat::QueryDiskSpace("C:\\", &after));
    if (before.freeClusters == after.freeClusters) break;
  }
  const uint64_t bytes =
      uint64_t{before.sectorsPerCluster} * before.bytesPerSector * before.freeClusters;
  EXPECT_EQ(free, static_cast<uint32_t>(bytes));
  EXPECT_EQ(FilGetPathFree("Q:\\"), 0u);
}

TEST_F(Fil, MappingAndUnmappingChangeTheDiskMap) {
  QORB_POSIX_ONLY("drives map to other host directories only in the emulated drive map");
  EXPECT_EQ(FilGetDiskMap(), 12u);
  ASSERT_EQ(FilMapDrive('z', drives_.Host("D:\\data").string().c_str()), 1u);
  EXPECT_EQ(FilGetDiskMap(), 12u | (1u << 25));
  EXPECT_EQ(FilUnmapDrive('Z'), 1u);
  EXPECT_EQ(FilUnmapDrive('Z'), 0u);
  EXPECT_EQ(FilGetDiskMap(), 12u);
  ExpectUnmoved();
}

TEST_F(Fil, ExistenceOfFilesAndDirectories) {
  drives_.MakeFile("C:\\work\\file.txt");
  drives_.MakeDirectory("D:\\data\\sub");
  EXPECT_EQ(FilPathNameExists("..\\file.txt"), 1u);
  EXPECT_EQ(FilPathNameExists("C:\\work"), 0u);
  EXPECT_EQ(FilPathNameExists("C:\\none.txt"), 0u);
  const struct {
    const char *directory;
    uint32_t dirExists, pathExists;
  } cases[] = {
      {"\\", 1, 1},          {"C:\\work\\", 1, 1},         {"C:\\work", 1, 1},
      {"\\work\\src", 1, 1}, {"D:\\data\\sub\\", 1, 1},    {"d:sub", 1, 1},
      {"C:\\nowhere", 0, 0}, {"C:\\work\\file.txt", 0, 0}, {"Q:\\", 0, 0},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(FilDirExists(c.directory), c.dirExists) << c.directory;
    EXPECT_EQ(FilPathExists(c.directory), c.pathExists) << c.directory;
    ExpectUnmoved();
  }
}

TEST_F(Fil, MakingDirectoriesClimbsAndDescends) {
  drives_.MakeDirectory("C:\\a");
  EXPECT_EQ(FilMakeDir("C:\\a\\b\\c"), 1u);
  EXPECT_TRUE(fs::is_directory(drives_.Host("C:\\a\\b\\c")));
  EXPECT_EQ(FilMakeDir("C:\\a\\b\\c"), 0u);
  EXPECT_EQ(FilMakeDir("new\\deeper\\"), 1u);
  EXPECT_TRUE(fs::is_directory(drives_.Host("C:\\work\\src\\new\\deeper")));
  drives_.MakeFile("C:\\x");
  EXPECT_EQ(FilMakeDir("\\x"), 0u);
  EXPECT_EQ(FilMakeDir("\\x\\y"), 0u);
  EXPECT_EQ(FilMakePath("D:\\m\\n\\"), 1u);
  EXPECT_TRUE(fs::is_directory(drives_.Host("D:\\m\\n")));
  EXPECT_EQ(FilMakePath("Q:\\m"), 0u);
  EXPECT_EQ(FilMakeDir(std::string(300, 'l').c_str()), 0u);
  ExpectUnmoved();
}

TEST_F(Fil, DirMatchMapsIntoAnotherTree) {
  char path[] = "C:\\src\\a\\b\\f.c";
  char out[256] = "";
  EXPECT_EQ(FilDirMatch(path, "c:\\SRC", "D:\\dst", out), 1u);
  EXPECT_STREQ(out, "D:\\dst\\a\\b\\f.c");
  EXPECT_STREQ(path, "C:\\src\\a\\b");
  EXPECT_TRUE(fs::is_directory(drives_.Host("D:\\dst\\a\\b")));
  char partial[] = "C:\\src\\a\\b\\f.c";
  EXPECT_EQ(FilDirMatch(partial, "C:\\sr", "D:\\dst", out), 0u);
  EXPECT_STREQ(partial, "C:\\src\\a\\b");
  char flat[] = "f.c";
  EXPECT_EQ(FilDirMatch(flat, "", "D:\\dst", out), 0u);
  char unmakeable[] = "C:\\src\\f.c";
  EXPECT_EQ(FilDirMatch(unmakeable, "C:\\src", "Q:\\dst", out), 0u);
  ExpectUnmoved();
}

TEST_F(Fil, FileMatchFollowsItsOwnStarRule) {
  const struct {
    uint32_t matches;
    std::vector<std::pair<const char *, const char *>> patternsAndNames;
  } cases[] = {
      {1, {{"*.txt", "README.TXT"}, {"a?c", "abc"}, {"a*", "a"}, {"*", ""}, {"*.*", "x.y"}}},
      {1, {{"*?", "a?"}, {"a*c", "abbbc"}, {"a*b*c", "aXbYc"}, {"", ""}}},
      {0, {{"a?c", "ac"}, {"*.*", "xy"}, {"*?", "ab"}, {"*?", "a?b"}, {"a*c", "abcd"}}},
      {0, {{"*b", "*ab"}, {"", "a"}, {"abc", "ab"}}},
  };
  for (const auto &[matches, patternsAndNames] : cases) {
    for (const auto &[pattern, name] : patternsAndNames) {
      EXPECT_EQ(FilFileMatch(pattern, name), matches) << pattern << " on " << name;
    }
  }
  // Many stars over a long name that almost matches cost no more than
  // pattern times name.
  std::string pattern;
  for (int i = 0; i < 100; ++i) pattern += "*a";
  EXPECT_EQ(FilFileMatch((pattern + "*b").c_str(), std::string(500, 'a').c_str()), 0u);
  EXPECT_EQ(FilFileMatch((pattern + "*b").c_str(), (std::string(500, 'a') + "b").c_str()), 1u);
}

TEST_F(Fil, CheckPathNameGivesEachPart) {
  const struct {
    const char *path;
    uint32_t part;
    const char *result;
  } cases[] = {
      {"..\\inc\\a.h", 4, "C:\\work\\inc\\a.h"},
      {"..\\inc\\a.h", 2, "C:\\work\\inc\\"},
      {"..\\inc\\a.h", 1, "\\work\\inc\\"},
      {"..\\inc\\a.h", 3, "a.h"},
      {"..\\inc\\a.h", 0, "C:"},
      {"a.h", 2, "C:\\work\\src\\"},
      {"a.h", 4, "C:\\work\\src\\a.h"},
      {"\\tmp\\.\\x\\b.c", 4, "C:\\tmp\\x\\b.c"},
      {"D:x.txt", 4, "D:\\data\\x.txt"},
      {"d:\\y\\..\\z", 7, "d:\\z"},
      {"C:..\\..\\a", 2, "C:\\"},
      {"D:", 2, "D:\\data\\"},
  };
  for (const auto &c : cases) {
    char path[256];
    std::strcpy(path, c.path);
    EXPECT_EQ(FilCheckPathName(path, 2, c.part), 1u) << c.path;
    EXPECT_STREQ(path, c.result) << c.path << " part " << c.part;
    ExpectUnmoved();
  }
  // Climbing above the root, an unmapped drive, an overlong text: refused,
  // the path as it was.
  const std::string overlong(300, 'x');
  for (const char *refused : {"..\\..\\..\\a.h", "Q:\\a.h", overlong.c_str()}) {
    std::vector<char> path(refused, refused + std::strlen(refused) + 1);
    path.resize(std::max<std::size_t>(path.size(), 256));
    EXPECT_EQ(FilCheckPathName(path.data(), 2, 4), 0u) << refused;
    EXPECT_STREQ(path.data(), refused);
    ExpectUnmoved();
  }
}

TEST_F(Fil, CheckPathNameChecksOrEntersTheDirectory) {
  drives_.MakeDirectory("D:\\data\\inc");
  char missing[256] = "C:\\nowhere\\a.h";
  EXPECT_EQ(FilCheckPathName(missing, 0, 4), 0u);
  EXPECT_STREQ(missing, "C:\\nowhere\\");
  char missingOnD[256] = "D:\\nowhere\\a.h";
  EXPECT_EQ(FilCheckPathName(missingOnD, 1, 4), 0u);
  ExpectUnmoved();
  char onD[256] = "D:inc\\a.h";
  EXPECT_EQ(FilCheckPathName(onD, 0, 4), 1u);
  EXPECT_STREQ(onD, "D:\\data\\inc\\a.h");
  ExpectUnmoved();
  char enter[256] = "..\\b.c";
  EXPECT_EQ(FilCheckPathName(enter, 1, 3), 1u);
  EXPECT_STREQ(enter, "b.c");
  EXPECT_EQ(Path(), "C:\\work\\");
  char enterD[256] = "D:inc\\";
  EXPECT_EQ(FilCheckPathName(enterD, 1, 2), 1u);
  EXPECT_EQ(Path(), "D:\\data\\inc\\");
  ASSERT_EQ(FilSetPath("D:\\data"), 1u);
  ASSERT_EQ(FilSetPath("C:\\work\\src"), 1u);
}

TEST_F(Fil, MakeAbsDirAndNormalizePath) {
  const struct {
    const char *directory, *base, *result;
    uint32_t ok;
  } cases[] = {
      {"..\\x\\", "\\a\\b\\", "\\a\\x\\", 1},
      {"\\y\\..\\z\\", "\\q\\", "\\z\\", 1},
      {"..", "\\", "..", 0},
      {"x\\.\\\\y", "\\", "\\x\\y\\", 1},
      {"..\\..\\..", "\\a\\b\\", "..\\..\\..", 0},
  };
  for (const auto &c : cases) {
    char directory[256];
    std::strcpy(directory, c.directory);
    EXPECT_EQ(FilMakeAbsDir(directory, c.base), c.ok) << c.directory;
    EXPECT_STREQ(directory, c.result) << c.directory;
  }
  std::string deep;
  for (int i = 0; i < 26; ++i) deep += "123456789\\";  // 260 characters
  char directory[256] = "x";
  EXPECT_EQ(FilMakeAbsDir(directory, deep.c_str()), 0u);
  EXPECT_STREQ(directory, "x");

  const char *normalized[][2] = {
      {"C:\\work", "C:\\work\\"}, {"C:", "C:"}, {"C:\\work\\", "C:\\work\\"}, {"", ""}};
  for (const auto &[source, result] : normalized) {
    char destination[32];
    EXPECT_STREQ(FilNormalizePath(destination, source), result);
  }
}

// Random texts of up to 600 characters through every decomposition and
// checking function, each in a buffer of exactly the size it may use.
TEST_F(Fil, RandomPathTextsNeverOverrun) {
  std::mt19937 random(20240611);
  const char alphabet[] = "\\\\\\\\::..**?/?aBcD\x80\xff ";
  std::uniform_int_distribution<std::size_t> length(0, 600), pick(0, sizeof alphabet - 2);
  for (int round = 0; round < 400; ++round) {
    std::string text(length(random), 'x');
    for (char &c : text) c = alphabet[pick(random)];
    const std::size_t size = text.size() + 1;
    for (const Decomposition *d : kAll) {
      std::vector<char> buffer(text.c_str(), text.c_str() + size);
      d->inPlace(buffer.data());
      std::vector<char> destination(size);
      EXPECT_EQ(d->twin(destination.data(), text.c_str()), 1);
    }
    std::vector<char> path(text.c_str(), text.c_str() + size);
    path.resize(std::max<std::size_t>(size, 256));
    FilCheckPathName(path.data(), round % 3 == 0 ? 0 : 2, static_cast<uint32_t>(round % 5));
    std::vector<char> directory(path.size());
    std::memcpy(directory.data(), text.c_str(), size);
    FilMakeAbsDir(directory.data(), text.substr(0, text.size() / 2).c_str());
    std::vector<char> normalized(size + 1);
    FilNormalizePath(normalized.data(), text.c_str());
    FilFileMatch(text.c_str(), text.substr(text.size() / 3).c_str());
  }
  ExpectUnmoved();
}

}  // namespace
