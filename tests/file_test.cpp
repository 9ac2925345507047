// file_test.cpp - files and paths: taking path names apart.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "qorb32n.h"

namespace {

using InPlaceFunction = int (*)(char *);
using TwinFunction = int (*)(char *, const char *);

struct Decomposition {
  const char *name;
  InPlaceFunction inPlace;
  TwinFunction twin;
};

const Decomposition kDisk{"DiskOf", FilDiskOf, FilGetDiskOf};
const Decomposition kDir{"DirOf", FilDirOf, FilGetDirOf};
const Decomposition kPath{"PathOf", FilPathOf, FilGetPathOf};
const Decomposition kFileName{"FileNameOf", FilFileNameOf, FilGetFileNameOf};
const Decomposition kParent{"ParentOf", FilParentOf, FilGetParentOf};
const Decomposition kDirName{"DirNameOf", FilDirNameOf, FilGetDirNameOf};
const Decomposition kName{"NameOfFileName", FilNameOfFileName, FilGetNameOfFileName};
const Decomposition kExt{"ExtOfFileName", FilExtOfFileName, FilGetExtOfFileName};

struct DecompositionCase {
  const Decomposition &operation;
  const char *path;
  const char *piece;
  int result;
};

const DecompositionCase kDecompositions[] = {
    {kDisk, "C:\\a\\b.txt", "C:", 1},
    {kDisk, "\\a\\b.txt", "", 0},
    {kDisk, "x:abc", "x:", 1},
    {kDisk, "a", "", 0},
    {kDisk, "", "", 0},
    {kDir, "C:\\a\\b\\c.txt", "\\a\\b\\", 1},
    {kDir, "C:\\c.txt", "\\", 1},
    {kDir, "a\\b", "a\\", 1},
    {kDir, "C:c.txt", "", 0},
    {kPath, "C:\\a\\b\\c.txt", "C:\\a\\b\\", 1},
    {kPath, "C:c.txt", "C:", 1},
    {kPath, "c.txt", "", 0},
    {kFileName, "C:\\a\\b\\c.txt", "c.txt", 1},
    {kFileName, "C:c.txt", "c.txt", 1},
    {kFileName, "c.txt", "c.txt", 1},
    {kFileName, "C:\\a\\", "", 0},
    {kParent, "C:\\a\\b\\c", "C:\\a\\b\\", 1},
    {kParent, "C:\\a\\b\\", "C:\\a\\", 1},
    {kParent, "\\a\\b", "\\a\\", 1},
    {kParent, "\\a", "\\", 1},
    {kParent, "C:\\a", "\\", 1},
    {kParent, "a\\b", "\\", 1},
    {kParent, "C:\\", "", 0},
    {kParent, "\\", "", 0},
    {kParent, "abc", "", 0},
    {kParent, "", "", 0},
    {kDirName, "C:\\a\\b\\c.txt", "b", 1},
    {kDirName, "C:\\a\\b\\", "b", 1},
    {kDirName, "\\a\\b", "a", 1},
    {kDirName, "a\\c.txt", "a", 1},
    {kDirName, "C:\\c.txt", "\\", 1},
    {kDirName, "\\c.txt", "\\", 1},
    {kDirName, "c.txt", "", 0},
    {kDirName, "C:", "", 0},
    {kName, "C:\\a\\b.c.txt", "b.c", 1},
    {kName, "C:\\a.b\\c", "c", 1},
    {kName, "C:x.txt", "C:x", 1},
    {kName, ".profile", "", 1},
    {kExt, "C:\\a\\b.txt", "txt", 1},
    {kExt, "name.", "", 1},
    {kExt, "C:\\a.b\\c", "b\\c", 1},
    {kExt, "abc", "", 1},
};

TEST(FilDecomposition, InPlaceAndTwinsGiveTheDocumentedPieces) {
  for (const DecompositionCase &c : kDecompositions) {
    SCOPED_TRACE(std::string(c.operation.name) + " of \"" + c.path + "\"");
    char buffer[64];
    std::strcpy(buffer, c.path);
    EXPECT_EQ(c.operation.inPlace(buffer), c.result);
    EXPECT_STREQ(buffer, c.piece);

    // The twin writes the same piece, keeps its source and always says 1.
    char source[64];
    char destination[64];
    std::strcpy(source, c.path);
    std::memset(destination, '#', sizeof destination);
    EXPECT_EQ(c.operation.twin(destination, source), 1);
    EXPECT_STREQ(destination, c.piece);
    EXPECT_STREQ(source, c.path);

    // Source and destination may be one buffer.
    std::strcpy(buffer, c.path);
    EXPECT_EQ(c.operation.twin(buffer, buffer), 1);
    EXPECT_STREQ(buffer, c.piece);
  }
}

TEST(FilDecomposition, LongPathsAreHandledWholeAndNullIsRefused) {
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
  for (const Decomposition *d :
       {&kDisk, &kDir, &kPath, &kFileName, &kParent, &kDirName, &kName, &kExt}) {
    EXPECT_EQ(d->inPlace(nullptr), 0) << d->name;
    EXPECT_EQ(d->twin(nullptr, text), 0) << d->name;
    EXPECT_EQ(d->twin(text, nullptr), 0) << d->name;
    EXPECT_STREQ(text, "C:\\a") << d->name;
  }
}

}  // namespace
