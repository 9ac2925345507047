// cmdline_bench.cpp - parsing a 20-argument command line against a
// 30-record option table, against getopt_long doing the same work: the
// switches, their arguments and the positional arguments, each number
// converted (strtol, strtod) into its variable.
#include <benchmark/benchmark.h>
#include <getopt.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench_support.h"
#include "qorb32n.h"

namespace {

CmdOptionStruct Record(uint32_t argumentFlag, char letter, uint32_t type, const char *format,
                       const char *defaultText, uint32_t mandatory = 0) {
  CmdOptionStruct record;
  std::memset(&record, 0, sizeof record);
  record.mandatoryFlag = mandatory;
  record.argumentFlag = argumentFlag;
  record.switchId = letter;
  record.helpKey = 200;
  record.typeCode = type;
  (void)std::snprintf(record.conversionString, sizeof record.conversionString, "%s", format);
  (void)std::snprintf(record.defaultValue, sizeof record.defaultValue, "%s", defaultText);
  return record;
}

// Three positional records; switches a to g and n to u alone; switches h to
// m, each with one argument: 30 records.
std::vector<CmdOptionStruct> Table() {
  std::vector<CmdOptionStruct> table = {
      Record(0, 0, CMD_TYPE_LONG, "%ld", "", 1),
      Record(0, 0, CMD_TYPE_DOUBLE, "%lf", "1.0"),
      Record(0, 0, CMD_TYPE_STRING, "", "none"),
  };
  for (char c = 'a'; c <= 'g'; ++c) table.push_back(Record(1, c, CMD_TYPE_BOOLEAN, "", ""));
  for (char c = 'h'; c <= 'm'; ++c) {
    table.push_back(Record(1, c, CMD_TYPE_BOOLEAN, "", ""));
    if (c == 'j') {
      table.push_back(Record(0, c, CMD_TYPE_DOUBLE, "%lf", "0.5"));
    } else if (c == 'l') {
      table.push_back(Record(0, c, CMD_TYPE_STRING, "", "out"));
    } else {
      table.push_back(Record(0, c, CMD_TYPE_LONG, "%ld", "5"));
    }
  }
  for (char c = 'n'; c <= 'u'; ++c) table.push_back(Record(1, c, CMD_TYPE_BOOLEAN, "", ""));
  return table;
}

std::array<const char *, 21> kArguments = {"prog", "12", "0.5", "name", "-a", "-b",  "-c",
                                           "-h",   "10", "-i",  "20",   "-j", "2.5", "-k",
                                           "30",   "-l", "x",   "-m",   "40", "-n",  "-o"};

void BM_GetoptLong(benchmark::State &state) {
  static const option kLong[] = {{"verbose", no_argument, nullptr, 'a'}, {nullptr, 0, nullptr, 0}};
  std::array<char *, 22> argv{};
  for (auto _ : state) {
    for (std::size_t i = 0; i < kArguments.size(); ++i) argv[i] = const_cast<char *>(kArguments[i]);
    bool flags[26] = {};
    long numbers[26] = {5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5,
                        5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5};
    double scale = 0.5;
    const char *output = "out";
    optind = 0;  // start over, as glibc wants
    int c;
    while ((c = getopt_long(21, argv.data(), "abcdefgh:i:j:k:l:m:nopqrstu", kLong, nullptr)) !=
           -1) {
      if (c < 'a' || c > 'z') continue;
      flags[c - 'a'] = true;
      if (optarg == nullptr) continue;
      if (c == 'j') {
        scale = std::strtod(optarg, nullptr);
      } else if (c == 'l') {
        output = optarg;
      } else {
        numbers[c - 'a'] = std::strtol(optarg, nullptr, 10);
      }
    }
    if (optind + 3 != 21) {
      state.SkipWithError("positional arguments not found");
      break;
    }
    const long count = std::strtol(argv[optind], nullptr, 10);
    const double ratio = std::strtod(argv[optind + 1], nullptr);
    const char *name = argv[optind + 2];
    benchmark::DoNotOptimize(flags);
    benchmark::DoNotOptimize(numbers);
    benchmark::DoNotOptimize(scale);
    benchmark::DoNotOptimize(output);
    benchmark::DoNotOptimize(count);
    benchmark::DoNotOptimize(ratio);
    benchmark::DoNotOptimize(name);
  }
}

void BM_CmdParseCmdLine(benchmark::State &state) {
  qorb::bench::InitializeLibrary();
  std::vector<CmdOptionStruct> table = Table();
  std::array<char *, 22> argv{};
  for (std::size_t i = 0; i < kArguments.size(); ++i) argv[i] = const_cast<char *>(kArguments[i]);
  for (auto _ : state) {
    CmdParseResult *result =
        CmdParseCmdLine(21, argv.data(), table.data(), static_cast<uint32_t>(table.size()));
    if (result == nullptr || result->code != 0) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(table.data());
    MemFreeMem_(result);
  }
}

BENCHMARK(BM_GetoptLong)->Name("cmdline/parse_20_arguments/peer");
BENCHMARK(BM_CmdParseCmdLine)->Name("cmdline/parse_20_arguments/qorb");

}  // namespace
