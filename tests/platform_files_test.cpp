// platform_files_test.cpp - the platform layer's file side: the drive table
// and how path names resolve through it, per-drive working directories,
// directory search, directories and status, free space, the CR LF reader
// and the Windows wildcard rules.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/statvfs.h>
#endif

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/common/path_text.h"
#include "platform/common/text_compare.h"
#include "platform/common/wildcard.h"
#include "platform/files.h"
#include "support/line_ends.h"
#include "support/mapped_drives.h"
#include "support/posix_only.h"
#include "support/temp_directory.h"

namespace {

namespace fs = std::filesystem;
namespace plat = qorb::plat;

constexpr int kDriveC = 3;
constexpr int kDriveD = 4;

std::string WorkingDirectory() {
  char text[256] = "?";
  if (!plat::ReadWorkingDirectory(text, sizeof text))
    return "error " + std::to_string(plat::LastError());
  return text;
}

bool Touch(const char *pathName) {
  std::FILE *file = plat::OpenHostFile(pathName, "w");
  if (file == nullptr) return false;
  (void)std::fclose(file);
  return true;
}

std::string ReadAll(std::FILE *file) {
  std::string text;
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
  return text;
}

using Listing = std::set<std::pair<std::string, bool>>;  // name, is a directory

Listing Search(const char *pattern, std::uint32_t *error) {
  Listing found;
  plat::DirectorySearch search;
  plat::FoundEntry entry{};
  *error = 0;
  for (bool more = search.Begin(pattern, &entry); more; more = search.Next(&entry)) {
    found.emplace(entry.name, (entry.attributes & plat::kAttributeDirectory) != 0);
  }
  *error = plat::LastError();
  return found;
}

// A drive root's listing: the test's own entries and what the drive held
// before the test.
Listing RootListing(const qorb::test::MappedDrives &drives, char drive, Listing own) {
  for (const qorb::test::RootEntry &entry : drives.ForeignRootEntries(drive)) {
    own.emplace(entry.name, entry.directory);
  }
  return own;
}

}  // namespace

TEST(PlatformDrives, NamesResolveThroughTheDriveTable) {
  QORB_NEEDS_TEST_DRIVES();
  qorb::test::MappedDrives drives;
  EXPECT_EQ(plat::CurrentDrive(), kDriveC);
  EXPECT_EQ(WorkingDirectory(), "C:\\work\\src");
  const struct {
    const char *pathName;
    const char *host;  // under the drives' temporary root
  } cases[] = {
      {"b.txt", "C:\\work\\src\\b.txt"},      {"\\c.txt", "C:\\c.txt"},
      {"..\\d.txt", "C:\\work\\d.txt"},       {"c:e.txt", "C:\\work\\src\\e.txt"},
      {"D:f.txt", "D:\\data\\f.txt"},         {"d:\\g.txt", "D:\\g.txt"},
      {"C:\\..\\..\\h.txt", "C:\\h.txt"},  // ".." stops at the drive's root
      {"C:/work/./i.txt", "C:\\work\\i.txt"}, {".\\sub\\..\\j.txt", "C:\\work\\src\\j.txt"},
  };
  for (const auto &c : cases) {
    EXPECT_TRUE(Touch(c.pathName)) << c.pathName << " error " << plat::LastError();
    EXPECT_TRUE(fs::is_regular_file(drives.Host(c.host))) << c.pathName;
  }
  // An unmapped drive, a drive that is no letter and an overlong name.
  const std::string overlong = "C:\\" + std::string(5000, 'x');
  for (auto [name, error] :
       {std::pair{"Q:\\x.txt", 15u}, {"1:x.txt", 15u}, {overlong.c_str(), 206u}}) {
    EXPECT_FALSE(Touch(name)) << name;
    EXPECT_EQ(plat::LastError(), error) << name;
  }
  // Directories do not open as files, and an empty name names nothing.
  EXPECT_EQ(plat::OpenHostFile("C:\\work", "r"), nullptr);
  EXPECT_EQ(plat::LastError(), 5u);
  EXPECT_EQ(plat::OpenHostFile("", "r"), nullptr);
  EXPECT_EQ(plat::LastError(), 2u);
}

TEST(PlatformDrives, EachDriveKeepsItsWorkingDirectory) {
  QORB_NEEDS_TEST_DRIVES();
  qorb::test::MappedDrives drives;
  ASSERT_TRUE(plat::ChangeCurrentDrive(kDriveD));
  EXPECT_EQ(WorkingDirectory(), "D:\\data");
  EXPECT_EQ(fs::current_path(), drives.Host("D:\\data"));
  // Naming another drive's directory makes that drive current.
  ASSERT_TRUE(plat::ChangeWorkingDirectory("C:\\work"));
  EXPECT_EQ(plat::CurrentDrive(), kDriveC);
  EXPECT_EQ(WorkingDirectory(), "C:\\work");
  ASSERT_TRUE(plat::ChangeCurrentDrive(kDriveD));
  EXPECT_EQ(WorkingDirectory(), "D:\\data");
  ASSERT_TRUE(plat::ChangeCurrentDrive(kDriveC));
  EXPECT_EQ(WorkingDirectory(), "C:\\work");

  // A kept directory that has gone leaves its drive entered at the root.
  ASSERT_TRUE(plat::ChangeWorkingDirectory("D:\\data"));
  ASSERT_TRUE(plat::ChangeCurrentDrive(kDriveC));
  fs::remove(drives.Host("D:\\data"));
  ASSERT_TRUE(plat::ChangeCurrentDrive(kDriveD));
  EXPECT_EQ(WorkingDirectory(), "D:\\");

  // A host directory change outside the layer is followed: the drive whose
  // root is the longest prefix becomes current.
  fs::current_path(drives.Host("C:\\work\\src"));
  EXPECT_EQ(plat::CurrentDrive(), kDriveC);
  EXPECT_EQ(WorkingDirectory(), "C:\\work\\src");
}

TEST(PlatformDrives, OutsideEveryDriveNothingResolvesByTheWorkingDirectory) {
  QORB_POSIX_ONLY("on Windows every directory lies on a drive");
  qorb::test::MappedDrives drives;
  fs::current_path(drives.Host("C:\\").parent_path().parent_path());
  EXPECT_EQ(WorkingDirectory(), "error 3");
  EXPECT_FALSE(Touch("x.txt"));
  EXPECT_EQ(plat::LastError(), 3u);
  EXPECT_TRUE(Touch("C:\\x.txt"));
  ASSERT_TRUE(plat::ChangeWorkingDirectory("C:\\work\\src"));
}

// Drives that do not exist, on every host: no number, past Z:, and Q:,
// which neither the temporary drives nor the test prefix have (though it
// may be mapped where mapping is emulated).
TEST(PlatformDrives, MissingDrivesAreRefused) {
  QORB_NEEDS_TEST_DRIVES();
  qorb::test::MappedDrives drives;
  for (int drive : {0, 27}) {
    EXPECT_FALSE(plat::MapDrive(drive, "/")) << drive;
    EXPECT_EQ(plat::LastError(), 15u) << drive;
  }
  for (int drive : {0, 17, 27}) {
    EXPECT_FALSE(plat::UnmapDrive(drive)) << drive;
    EXPECT_EQ(plat::LastError(), 15u) << drive;
    EXPECT_FALSE(plat::ChangeCurrentDrive(drive)) << drive;
    EXPECT_EQ(plat::LastError(), 15u) << drive;
    char root[8];
    EXPECT_FALSE(plat::HostDirectoryOfDrive(drive, root, sizeof root)) << drive;
    EXPECT_EQ(plat::LastError(), 15u) << drive;
  }
  // The current drive stays, in its working directory.
  EXPECT_FALSE(plat::UnmapDrive(kDriveC));
  EXPECT_EQ(plat::CurrentDrive(), kDriveC);
  EXPECT_EQ(WorkingDirectory(), "C:\\work\\src");
}

TEST(PlatformDrives, MappingRefusals) {
  QORB_POSIX_ONLY("drives map to other host directories only in the emulated drive map");
  qorb::test::MappedDrives drives;
  drives.MakeFile("C:\\file.txt");
  const std::string file = drives.Host("C:\\file.txt").string();
  EXPECT_FALSE(plat::MapDrive(5, (file + ".missing").c_str()));
  EXPECT_EQ(plat::LastError(), 3u);
  EXPECT_FALSE(plat::MapDrive(5, file.c_str()));
  EXPECT_EQ(plat::LastError(), 3u);
  EXPECT_FALSE(plat::MapDrive(5, nullptr));
  EXPECT_EQ(plat::LastError(), 87u);
  // The current drive stays mapped.
  EXPECT_FALSE(plat::UnmapDrive(kDriveC));
  EXPECT_EQ(plat::LastError(), 5u);
  char root[8];
  EXPECT_FALSE(plat::HostDirectoryOfDrive(kDriveC, root, sizeof root));
  EXPECT_EQ(plat::LastError(), 206u);
}

// A directory whose text passes 255 characters is refused.
std::string DeepDirectory() {
  const std::string part(100, 'p');
  return "C:\\" + part + "\\" + part + "\\" + part;
}

TEST(PlatformDrives, OverlongWorkingDirectoriesAreRefused) {
  QORB_NEEDS_TEST_DRIVES();
  qorb::test::MappedDrives drives;
  const std::string deep = DeepDirectory();
  drives.MakeDirectory(deep);
  EXPECT_FALSE(plat::ChangeWorkingDirectory(deep.c_str()));
  EXPECT_EQ(plat::LastError(), 206u);
  EXPECT_EQ(WorkingDirectory(), "C:\\work\\src");
}

// A drive left in such a directory (entered outside the layer) comes back
// at its root.
TEST(PlatformDrives, OverlongWorkingDirectoryIsKeptAsTheRoot) {
  QORB_POSIX_ONLY("a Windows process cannot enter a directory whose name passes 258 characters");
  qorb::test::MappedDrives drives;
  const std::string deep = DeepDirectory();
  drives.MakeDirectory(deep);
  fs::current_path(drives.Host(deep));
  EXPECT_EQ(WorkingDirectory(), "error 206");
  EXPECT_TRUE(plat::ChangeCurrentDrive(kDriveD));
  EXPECT_TRUE(plat::ChangeCurrentDrive(kDriveC));
  EXPECT_EQ(WorkingDirectory(), "C:\\");
}

TEST(PlatformFiles, DirectorySearchMatchesAndListsDotEntriesBelowTheRoot) {
  QORB_NEEDS_TEST_DRIVES();
  qorb::test::MappedDrives drives;
  for (const char *name : {"C:\\data\\a.txt", "C:\\data\\B.TXT", "C:\\data\\c.log"}) {
    drives.MakeFile(name);
  }
  drives.MakeDirectory("C:\\data\\sub.txt");
  std::uint32_t error = 0;
  EXPECT_EQ(Search("C:\\data\\*.txt", &error),
            (Listing{{"a.txt", false}, {"B.TXT", false}, {"sub.txt", true}}));
  EXPECT_EQ(error, 18u);
  EXPECT_EQ(Search("\\data\\*", &error), (Listing{{".", true},
                                                  {"..", true},
                                                  {"a.txt", false},
                                                  {"B.TXT", false},
                                                  {"c.log", false},
                                                  {"sub.txt", true}}));
  EXPECT_EQ(Search("C:..\\..\\data\\?.LOG", &error), (Listing{{"c.log", false}}));
  // A drive's root lists no way up.
  EXPECT_EQ(Search("C:\\*", &error), RootListing(drives, 'C', {{"data", true}, {"work", true}}));
  EXPECT_EQ(Search("D:*", &error), (Listing{{".", true}, {"..", true}}));
  EXPECT_EQ(Search("D:\\*", &error), RootListing(drives, 'D', {{"data", true}}));
  EXPECT_EQ(Search("D:\\data\\*.*", &error), (Listing{{".", true}, {"..", true}}));
  EXPECT_EQ(Search("C:\\data\\*.doc", &error), Listing{});
  EXPECT_EQ(error, 2u);
  EXPECT_EQ(Search("C:\\nowhere\\*", &error), Listing{});
  EXPECT_EQ(error, 3u);
  EXPECT_EQ(Search("C:\\data\\", &error), Listing{});
  EXPECT_EQ(error, 2u);
}

TEST(PlatformFiles, DirectoriesStatusAndFreeSpace) {
  QORB_NEEDS_TEST_DRIVES();
  qorb::test::MappedDrives drives;
  EXPECT_TRUE(plat::MakeDirectory("C:\\new"));
  EXPECT_TRUE(fs::is_directory(drives.Host("C:\\new")));
  EXPECT_FALSE(plat::MakeDirectory("\\new\\"));
  EXPECT_EQ(plat::LastError(), 183u);
  EXPECT_FALSE(plat::MakeDirectory("C:\\missing\\new"));
  EXPECT_EQ(plat::LastError(), 3u);

  drives.MakeFile("C:\\work\\src\\five.txt", "12345");
  plat::EntryStatus status{};
  ASSERT_TRUE(plat::GetEntryStatus("five.txt", &status));
  EXPECT_EQ(status.mode, plat::kModeRegular);
  EXPECT_EQ(status.size, 5u);
  ASSERT_TRUE(plat::GetEntryStatus("D:", &status));
  EXPECT_EQ(status.mode, plat::kModeDirectory);
  EXPECT_FALSE(plat::GetEntryStatus("none.txt", &status));
  EXPECT_EQ(plat::LastError(), 2u);

  // Cluster size and count are the volume's; free clusters move with it.
  plat::DiskSpace space{};
  ASSERT_TRUE(plat::QueryDiskSpace("D:\\", &space));
#ifndef _WIN32
  struct statvfs volume {};
  ASSERT_EQ(statvfs(drives.Host("D:\\").c_str(), &volume), 0);
  EXPECT_EQ(std::uint64_t{space.sectorsPerCluster} * space.bytesPerSector, volume.f_frsize);
  EXPECT_EQ(space.totalClusters, std::min<std::uint64_t>(volume.f_blocks, 0xFFFFFFFFu));
#endif
  EXPECT_LE(space.freeClusters, space.totalClusters);
  EXPECT_FALSE(plat::QueryDiskSpace("Q:\\", &space));
  EXPECT_EQ(plat::LastError(), 15u);
}

TEST(PlatformFiles, TextReadsSeeCrLfAsLf) {
  QORB_NEEDS_TEST_DRIVES();
  qorb::test::MappedDrives drives;
  // Lines of every length put a CR at every place of the reader's chunks.
  std::string windows;
  std::string expected;
  for (int length = 0; length < 700; ++length) {
    windows += std::string(static_cast<std::size_t>(length), 'x') + "\r\n";
    expected += std::string(static_cast<std::size_t>(length), 'x') + "\n";
  }
  windows += "lone\rcr\r\r\nend\r";
  expected += "lone\rcr\r\nend\r";
  drives.MakeFile("C:\\work\\src\\win.txt", windows);

  std::FILE *text = plat::OpenHostFile("win.txt", "r");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(ReadAll(text), expected);
  // Positions are the file's own bytes.
  EXPECT_EQ(std::ftell(text), static_cast<long>(windows.size()));
  ASSERT_EQ(std::fseek(text, 0, SEEK_SET), 0);
  char line[16];
  ASSERT_NE(std::fgets(line, sizeof line, text), nullptr);
  EXPECT_STREQ(line, "\n");
  (void)std::fclose(text);

  for (const char *mode : {"rb", "r+"}) {
    std::FILE *binary = plat::OpenHostFile("win.txt", mode);
    ASSERT_NE(binary, nullptr);
    EXPECT_EQ(ReadAll(binary), windows) << mode;
    (void)std::fclose(binary);
  }
  // Writing in text mode gives the host's line ends; in binary mode, the
  // bytes as they are.
  for (const char *mode : {"w", "wb"}) {
    std::FILE *out = plat::OpenHostFile("D:out.txt", mode);
    ASSERT_NE(out, nullptr);
    (void)std::fputs("a\nb\n", out);
    (void)std::fclose(out);
    std::ifstream written(drives.Host("D:\\data\\out.txt"), std::ios::binary);
    const bool text = mode[1] == '\0';
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}),
              text ? qorb::test::HostLineEnds("a\nb\n") : "a\nb\n")
        << mode;
  }
}

// The layer on whatever the host gives, with no drive mapped: a temporary
// directory by its library name ("C:\tmp\..." on POSIX, where C: is the
// host root; the host's own name on Windows), entered, filled, searched and
// left.
TEST(PlatformFiles, HostTemporaryDirectoryByItsPathName) {
  const fs::path dir = qorb::test::MakeTempDirectory("qorb_host_");
#ifdef _WIN32
  std::string name = dir.string();
#else
  std::string name = "C:" + dir.string();
#endif
  for (char &c : name) c = c == '/' ? '\\' : c;
  char saved[256];
  ASSERT_TRUE(plat::ReadWorkingDirectory(saved, sizeof saved));
  ASSERT_TRUE(plat::ChangeWorkingDirectory(name.c_str()));
  char here[256] = "";
  ASSERT_TRUE(plat::ReadDriveWorkingDirectory(0, here, sizeof here));
  EXPECT_EQ(plat::CompareNoCase(here, name.c_str()), 0) << here << " " << name;
  EXPECT_EQ(plat::CurrentDrive(), plat::DriveNumberOfLetter(name[0]));

  EXPECT_TRUE(plat::MakeDirectory("sub"));
  EXPECT_FALSE(plat::MakeDirectory("sub"));
  EXPECT_EQ(plat::LastError(), 183u);

  std::FILE *out = plat::OpenHostFile("sub\\crlf.txt", "wb");
  ASSERT_NE(out, nullptr);
  (void)std::fputs("a\r\nb\r\n", out);
  (void)std::fclose(out);
  std::FILE *in = plat::OpenHostFile((name + "\\sub\\crlf.txt").c_str(), "r");
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(ReadAll(in), "a\nb\n");
  (void)std::fclose(in);
  EXPECT_EQ(plat::OpenHostFile("sub", "r"), nullptr);  // a directory is no file
  EXPECT_EQ(plat::LastError(), 5u);

  plat::EntryStatus status{};
  ASSERT_TRUE(plat::GetEntryStatus("sub\\crlf.txt", &status));
  EXPECT_EQ(status.mode, plat::kModeRegular);
  EXPECT_EQ(status.size, 6u);
  ASSERT_TRUE(plat::GetEntryStatus("sub\\", &status));
  EXPECT_EQ(status.mode, plat::kModeDirectory);

  std::uint32_t error = 0;
  EXPECT_EQ(Search("sub\\*", &error), (Listing{{".", true}, {"..", true}, {"crlf.txt", false}}));
  EXPECT_EQ(error, 18u);
  EXPECT_EQ(Search("sub\\*.TXT", &error), (Listing{{"crlf.txt", false}}));
  EXPECT_EQ(Search("missing\\*", &error), Listing{});
  EXPECT_EQ(error, 3u);

  plat::DiskSpace space{};
  ASSERT_TRUE(plat::QueryDiskSpace(name.c_str(), &space));
  EXPECT_GT(space.totalClusters, 0u);
  EXPECT_LE(space.freeClusters, space.totalClusters);

  EXPECT_TRUE(plat::ChangeWorkingDirectory(saved));
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

TEST(PlatformFiles, WildcardsFollowTheWindowsRules) {
  const struct {
    bool matches;
    std::vector<std::pair<const char *, const char *>> patternsAndNames;
  } cases[] = {
      {true, {{"*", ""}, {"*", "anything.at.all"}, {"*.*", "x.y"}, {"*.*", "xy"}, {"*.*", "."}}},
      {true, {{"*.*", ".."}, {"*.txt", "README.TXT"}, {"*.txt", "a.b.txt"}, {"*.txt", ".txt"}}},
      {true, {{"*.", "noext"}, {"a?c", "abc"}, {"a??", "a"}, {"a?.txt", "a.txt"}, {"a.*", "a"}}},
      {true, {{"a*b*c", "axbyc"}, {"exact", "EXACT"}, {"", ""}}},
      {false, {{"*.txt", "a.txt.bak"}, {"*.", "has.ext"}, {"a?c", "ac"}, {"a??", "abcd"}}},
      {false, {{"a?.txt", "abc.txt"}, {"a.*", "ab"}, {"a*b*c", "axbyd"}, {"exact", "exacts"}}},
      {false, {{"", "x"}, {"x", ""}}},
  };
  for (const auto &[matches, patternsAndNames] : cases) {
    for (const auto &[pattern, name] : patternsAndNames) {
      EXPECT_EQ(plat::WildcardMatches(pattern, name), matches)
          << '"' << pattern << "\" on \"" << name << '"';
    }
  }
  // Many stars cost no more than the pattern's length times the name's.
  const std::string stars = std::string(100, '*') + "b";
  EXPECT_FALSE(
      plat::WildcardMatches((stars + "*a*a*a*a*a*c").c_str(), std::string(250, 'a').c_str()));
  EXPECT_FALSE(plat::WildcardMatches(std::string(260, '*').c_str(), "x"));
}
