// binary_bench.cpp - binary records against what a programmer would write
// instead: SwpSwapLongArray over 1 MiB against a __builtin_bswap32 loop, and
// 100000 tagged records written, read back and searched with the Tag
// functions against fwrite/fread/fseek of the same 16-byte headers and data.
//
// Relies on: the scratch drive of bench_support.h for the record file (a
// host path: the Tag functions take a stream the caller opens).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "qorb32n.h"

namespace {

constexpr std::size_t kLongs = (1u << 20) / 4;
constexpr int kRecords = 100000;
constexpr std::uint16_t kIdentifiers = 10;  // record i has identifier i % 10
constexpr std::uint16_t kSearched = 7;
constexpr std::uint32_t kDataBytes = 24;

std::vector<std::uint32_t> Longs() {
  std::vector<std::uint32_t> values(kLongs);
  for (std::size_t i = 0; i < kLongs; ++i) values[i] = static_cast<std::uint32_t>(i * 2654435761u);
  return values;
}

void BswapLoop(benchmark::State &state) {
  std::vector<std::uint32_t> values = Longs();
  for (auto _ : state) {
    for (std::uint32_t &value : values) value = __builtin_bswap32(value);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (1 << 20));
}

void SwapLongArray(benchmark::State &state) {
  std::vector<std::uint32_t> values = Longs();
  for (auto _ : state) {
    SwpSwapLongArray(values.data(), static_cast<std::uint32_t>(kLongs));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (1 << 20));
}

// The 16 header bytes as a programmer would lay them down by hand.
struct RawHeader {
  char byteOrder;
  std::uint8_t magic;
  std::uint16_t tagId;
  std::uint32_t length;
  std::uint32_t info1;
  std::uint32_t info2;
};
static_assert(sizeof(RawHeader) == 16);

std::FILE *OpenRecordFile() {
  static const qorb::bench::ScratchDrive drive('T');
  return std::fopen((drive.Host() / "records.tag").c_str(), "w+b");
}

// Each round writes the file, reads every record back in order, then
// finds every record of one identifier from the start; the count of those
// found is checked so that both sides do the same work.
void RawRecords(benchmark::State &state) {
  const unsigned char data[kDataBytes] = {1, 2, 3};
  unsigned char back[kDataBytes];
  for (auto _ : state) {
    std::FILE *file = OpenRecordFile();
    for (int i = 0; i < kRecords; ++i) {
      const RawHeader header{'I',
                             0x1F,
                             static_cast<std::uint16_t>(i % kIdentifiers),
                             kDataBytes,
                             static_cast<std::uint32_t>(i),
                             0};
      std::fwrite(&header, sizeof header, 1, file);
      std::fwrite(data, kDataBytes, 1, file);
    }
    std::rewind(file);
    RawHeader header;
    std::uint32_t sum = 0;
    while (std::fread(&header, sizeof header, 1, file) == 1) {
      if (std::fread(back, header.length, 1, file) != 1) break;
      sum += header.info1;
    }
    std::rewind(file);
    int found = 0;
    while (std::fread(&header, sizeof header, 1, file) == 1) {
      if (header.tagId == kSearched) ++found;
      if (std::fseek(file, header.length, SEEK_CUR) != 0) break;
    }
    std::fclose(file);
    if (found != kRecords / kIdentifiers) state.SkipWithError("records missed");
    benchmark::DoNotOptimize(sum);
  }
}

void TagRecords(benchmark::State &state) {
  const unsigned char data[kDataBytes] = {1, 2, 3};
  unsigned char back[kDataBytes];
  for (auto _ : state) {
    std::FILE *file = OpenRecordFile();
    for (int i = 0; i < kRecords; ++i) {
      TagHeader header{0,
                       0,
                       static_cast<std::uint16_t>(i % kIdentifiers),
                       kDataBytes,
                       static_cast<std::uint32_t>(i),
                       0};
      TagWriteTag(file, &header);
      std::fwrite(data, kDataBytes, 1, file);
    }
    std::rewind(file);
    TagHeader header;
    std::uint32_t sum = 0;
    while (TagReadTag(file, &header) == 0) {
      if (std::fread(back, header.length, 1, file) != 1) break;
      sum += header.info1;
    }
    std::rewind(file);
    int found = 0;
    while (TagGetTag(file, kSearched, &header) == 0) {
      ++found;
      if (std::fseek(file, header.length, SEEK_CUR) != 0) break;
    }
    std::fclose(file);
    if (found != kRecords / kIdentifiers) state.SkipWithError("records missed");
    benchmark::DoNotOptimize(sum);
  }
}

}  // namespace

BENCHMARK(BswapLoop)->Name("swap/long_array_1MiB/peer")->Unit(benchmark::kMicrosecond);
BENCHMARK(SwapLongArray)->Name("swap/long_array_1MiB/qorb")->Unit(benchmark::kMicrosecond);
BENCHMARK(RawRecords)->Name("tag/records_100000/peer")->Unit(benchmark::kMillisecond);
BENCHMARK(TagRecords)->Name("tag/records_100000/qorb")->Unit(benchmark::kMillisecond);
