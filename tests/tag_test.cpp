// tag_test.cpp - tagged records: the header's bytes, reading headers of both
// byte orders (the "M" ones laid down by hand), the write failures, and
// searching a file of many mixed records, damaged and cut short. Files are
// anonymous temporary files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "qorb32n.h"
#include "support/byte_order.h"
#include "support/pipe_ends.h"

namespace {

using qorb::test::ByteWriter;
using qorb::test::Hex;

// An anonymous temporary file, closed at the end of the test.
class TempFile {
 public:
  TempFile() : stream_(std::tmpfile()) {}
  explicit TempFile(const std::string &bytes) : TempFile() {
    static_cast<void>(std::fwrite(bytes.data(), 1, bytes.size(), stream_));
    std::rewind(stream_);
  }
  ~TempFile() {
    if (stream_ != nullptr) static_cast<void>(std::fclose(stream_));
  }
  TempFile(const TempFile &) = delete;
  TempFile &operator=(const TempFile &) = delete;

  std::FILE *get() const { return stream_; }
  std::string Bytes() const {
    static_cast<void>(std::fflush(stream_));
    const long position = std::ftell(stream_);
    std::rewind(stream_);
    std::string bytes;
    for (int c = std::fgetc(stream_); c != EOF; c = std::fgetc(stream_)) {
      bytes += static_cast<char>(c);
    }
    static_cast<void>(std::fseek(stream_, position, SEEK_SET));
    return bytes;
  }

 private:
  std::FILE *stream_;
};

// A header in either byte order, laid down by hand.
std::string Header(char order, uint16_t tagId, uint32_t length, uint32_t info1, uint32_t info2,
                   uint8_t magic = 0x1F) {
  ByteWriter out(order == 'M');
  out.U8(static_cast<uint8_t>(order)).U8(magic).U16(tagId).U32(length).U32(info1).U32(info2);
  return out.bytes();
}

TEST(Tag, WritingLaysTheHeaderDownInTheIOrder) {
  TempFile file;
  const char data[8] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
  EXPECT_EQ(TagWriteRecord(file.get(), 3, 8, 1, 2, data), 0u);
  EXPECT_EQ(Hex(file.Bytes()),
            "49 1F 03 00 08 00 00 00 01 00 00 00 02 00 00 00 61 62 63 64 65 66 67 68");

  TagHeader header{'X', 0x77, 300, 0x01020304, 5, 6};
  EXPECT_EQ(TagWriteTag(file.get(), &header), 0u);
  EXPECT_EQ(header.byteOrder, 'I');
  EXPECT_EQ(header.magic, 0x1F);
  EXPECT_EQ(Hex(file.Bytes().substr(24)), "49 1F 2C 01 04 03 02 01 05 00 00 00 06 00 00 00");

  // NULL data writes nothing; length 0 writes the header, then fails.
  EXPECT_EQ(TagWriteRecord(file.get(), 4, 1, 0, 0, nullptr), TAG_RC_NO_DATA);
  EXPECT_EQ(file.Bytes().size(), 40u);
  EXPECT_EQ(TagWriteRecord(file.get(), 4, 0, 0, 0, data), TAG_RC_DATA_WRITE_FAILED);
  EXPECT_EQ(file.Bytes().substr(40), Header('I', 4, 0, 0, 0));
}

TEST(Tag, WriteFailuresOnAStreamOpenForReading) {
  TempFile file;
  const int descriptor = dup(fileno(file.get()));
  std::FILE *reading = fdopen(descriptor, "rb");
  ASSERT_NE(reading, nullptr);
  TagHeader header{};
  EXPECT_EQ(TagWriteTag(reading, &header), TAG_RC_WRITE_FAILED);
  EXPECT_EQ(TagWriteRecord(reading, 1, 4, 0, 0, "data"), TAG_RC_WRITE_FAILED);
  static_cast<void>(std::fclose(reading));
}

TEST(Tag, ReadingHeadersOfBothOrders) {
  const struct {
    std::string bytes;
    uint32_t result;
    char order;
  } cases[] = {
      {Header('M', 3, 8, 1, 2), 0, 'M'},
      {Header('I', 3, 8, 1, 2), 0, 'I'},
      {Header('X', 3, 8, 1, 2), TAG_RC_BAD_HEADER, 'X'},
      {Header('I', 3, 8, 1, 2, 0x1E), TAG_RC_BAD_HEADER, 'I'},
      {Header('M', 3, 8, 1, 2).substr(0, 15), TAG_RC_READ_FAILED, '?'},
  };
  for (const auto &c : cases) {
    TempFile file(c.bytes);
    TagHeader header{'?', 0, 0, 0, 0, 0};
    EXPECT_EQ(TagReadTag(file.get(), &header), c.result) << Hex(c.bytes);
    EXPECT_EQ(header.byteOrder, c.order) << Hex(c.bytes);
    if (c.result != 0) continue;
    EXPECT_EQ(header.tagId, 3);
    EXPECT_EQ(header.length, 8u);
    EXPECT_EQ(header.info1, 1u);
    EXPECT_EQ(header.info2, 2u);
  }

  TagHeader header{'M', 0x1F, 0x0102, 0x01020304, 0x05060708, 0x0A0B0C0D};
  EXPECT_EQ(TagSwapTag(&header), 0u);
  EXPECT_EQ(header.byteOrder, 'M');
  EXPECT_EQ(header.magic, 0x1F);
  EXPECT_EQ(header.tagId, 0x0201);
  EXPECT_EQ(header.length, 0x04030201u);
  EXPECT_EQ(header.info1, 0x08070605u);
  EXPECT_EQ(header.info2, 0x0D0C0B0Au);
}

// ---- searching -------------------------------------------------------------

struct Written {
  uint16_t tagId;
  uint32_t info1;
  std::string data;
};

// 10000 records of identifiers 0 to 45, headers in both orders, data of 0 to
// 40 bytes naming the record.
std::vector<Written> WriteMixedRecords(std::FILE *stream) {
  std::mt19937 random(15);
  std::vector<Written> written;
  for (uint32_t i = 0; i < 10000; ++i) {
    const auto tagId = static_cast<uint16_t>(random() % 46);
    std::string data = "record " + std::to_string(i);
    data.resize(random() % 41, '.');
    if (random() % 2 == 0) {
      const uint32_t result =
          TagWriteRecord(stream, tagId, static_cast<uint32_t>(data.size()), i, ~i, data.data());
      EXPECT_EQ(result, data.empty() ? TAG_RC_DATA_WRITE_FAILED : 0u);
    } else {
      const std::string header =
          Header('M', tagId, static_cast<uint32_t>(data.size()), i, ~i) + data;
      static_cast<void>(std::fwrite(header.data(), 1, header.size(), stream));
    }
    written.push_back({tagId, i, data});
  }
  return written;
}

// Every record found for one identifier from the stream's position, with
// its data read from where the search left the stream; the search's last
// result in *ended.
std::vector<Written> FindAll(std::FILE *stream, uint16_t tagId, uint32_t *ended) {
  std::vector<Written> found;
  TagHeader header;
  while ((*ended = TagGetTag(stream, tagId, &header)) == 0) {
    std::string data(header.length, '\0');
    if (header.length > 0) {
      EXPECT_EQ(std::fread(data.data(), header.length, 1, stream), 1u);
    }
    EXPECT_EQ(header.info2, ~header.info1);
    found.push_back({header.tagId, header.info1, data});
  }
  return found;
}

TEST(Tag, SearchFindsEveryRecordOfAnIdentifierInOrder) {
  TempFile file;
  const std::vector<Written> written = WriteMixedRecords(file.get());
  for (uint16_t tagId = 0; tagId <= 46; ++tagId) {
    std::vector<uint32_t> expected;
    for (const Written &record : written) {
      if (record.tagId == tagId) expected.push_back(record.info1);
    }
    std::rewind(file.get());
    uint32_t ended = 0;
    const std::vector<Written> found = FindAll(file.get(), tagId, &ended);
    EXPECT_EQ(ended, TAG_RC_NOT_FOUND);
    std::vector<uint32_t> numbers;
    for (const Written &record : found) {
      numbers.push_back(record.info1);
      EXPECT_EQ(record.data, written[record.info1].data);
    }
    EXPECT_EQ(numbers, expected) << "identifier " << tagId;
  }
}

TEST(Tag, SearchStopsAtABadHeaderOrALargeIdentifier) {
  for (const std::string &stopper : {Header('I', 46, 0, 0, 0), Header('M', 1000, 0, 0, 0),
                                     Header('Q', 5, 0, 0, 0), Header('I', 5, 0, 0, 0, 0x20)}) {
    TempFile file;
    const std::vector<Written> before = WriteMixedRecords(file.get());
    static_cast<void>(std::fwrite(stopper.data(), 1, stopper.size(), file.get()));
    ASSERT_EQ(TagWriteRecord(file.get(), 5, 4, 777, ~777u, "last"), 0u);
    std::rewind(file.get());
    uint32_t ended = 0;
    const std::vector<Written> found = FindAll(file.get(), 5, &ended);
    EXPECT_EQ(ended, TAG_RC_NOT_FOUND) << Hex(stopper);
    ASSERT_FALSE(found.empty());
    EXPECT_NE(found.back().info1, 777u) << "the record behind " << Hex(stopper) << " was found";
  }
}

TEST(Tag, SearchInAFileCutShort) {
  TempFile whole;
  const std::vector<Written> written = WriteMixedRecords(whole.get());
  const std::string bytes = whole.Bytes();
  // Cut inside the last record's header, and inside its data (or, when it
  // has none, its header): the search ends there with the documented code.
  const Written &last = written.back();
  const size_t lastStart = bytes.size() - 16 - last.data.size();
  for (size_t cut : {lastStart + 7, bytes.size() - 1}) {
    TempFile file(bytes.substr(0, cut));
    TagHeader header;
    uint32_t ended = 0;
    uint32_t lastFound = UINT32_MAX;
    while ((ended = TagGetTag(file.get(), last.tagId, &header)) == 0) {
      lastFound = header.info1;
      ASSERT_EQ(std::fseek(file.get(), header.length, SEEK_CUR), 0);
    }
    EXPECT_EQ(ended, TAG_RC_NOT_FOUND);
    EXPECT_EQ(lastFound == last.info1, cut >= lastStart + 16) << "cut at " << cut;
  }
  // A stream that cannot move over a record's data.
  int ends[2];
  ASSERT_EQ(OpenPipe(ends), 0);
  const std::string records = Header('I', 1, 4, 0, 0) + "skip" + Header('I', 2, 0, 0, 0);
  ASSERT_EQ(write(ends[1], records.data(), records.size()), static_cast<ssize_t>(records.size()));
  close(ends[1]);
  std::FILE *pipeStream = fdopen(ends[0], "rb");
  ASSERT_NE(pipeStream, nullptr);
  TagHeader header;
  EXPECT_EQ(TagGetTag(pipeStream, 2, &header), TAG_RC_SKIP_FAILED);
  static_cast<void>(std::fclose(pipeStream));
  // An empty stream ends at once.
  TempFile empty;
  EXPECT_EQ(TagGetTag(empty.get(), 0, &header), TAG_RC_NOT_FOUND);
}

}  // namespace
