// file_bench.cpp - FilFileMatch against fnmatch(FNM_CASEFOLD), and listing a
// directory of 10000 files with FilGetNextPathName against opendir/readdir
// with fnmatch.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fnmatch.h>

#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "qorb32n.h"

namespace {

constexpr int kFiles = 10000;

const std::pair<const char *, const char *> kMatches[] = {
    {"*.txt", "README.TXT"},
    {"*.txt", "archive.tar.gz"},
    {"a?c*", "abcdefgh.doc"},
    {"report*2024*", "report_march_2024_final.xls"},
    {"*", "anything"},
    {"*.*", "noextension"},
    {"exact.name", "EXACT.NAME"},
};

void BM_Fnmatch(benchmark::State &state) {
  for (auto _ : state) {
    for (const auto &[pattern, name] : kMatches) {
      benchmark::DoNotOptimize(fnmatch(pattern, name, FNM_CASEFOLD));
    }
  }
}

void BM_FilFileMatch(benchmark::State &state) {
  for (auto _ : state) {
    for (const auto &[pattern, name] : kMatches) {
      benchmark::DoNotOptimize(FilFileMatch(pattern, name));
    }
  }
}

// A directory of kFiles files (a third of them .log), made once, mapped as
// drive B: for the listings and removed when the program ends.
const qorb::bench::ScratchDrive &Directory() {
  static const qorb::bench::ScratchDrive drive('B');
  static const bool filled = [] {
    for (int i = 0; i < kFiles; ++i) {
      drive.Write("file" + std::to_string(i) + (i % 3 == 0 ? ".log" : ".txt"), "");
    }
    return true;
  }();
  (void)filled;
  return drive;
}

void BM_ReaddirFnmatch(benchmark::State &state) {
  const std::string directory = Directory().Host().string();
  for (auto _ : state) {
    std::vector<std::string> names;
    DIR *dir = opendir(directory.c_str());
    while (const dirent *entry = readdir(dir)) {
      if (entry->d_type != DT_DIR && fnmatch("*.txt", entry->d_name, FNM_CASEFOLD) == 0) {
        names.push_back(directory + "/" + entry->d_name);
      }
    }
    closedir(dir);
    benchmark::DoNotOptimize(names.data());
  }
}

void BM_FilGetNextPathName(benchmark::State &state) {
  Directory();
  for (auto _ : state) {
    FilListing *handle = nullptr;
    char out[260];
    int count = 0;
    while (FilGetNextPathName(&handle, "B:\\*.txt", out, 0) != 0) ++count;
    benchmark::DoNotOptimize(count);
  }
}

BENCHMARK(BM_Fnmatch)->Name("file/match_7_names/peer");
BENCHMARK(BM_FilFileMatch)->Name("file/match_7_names/qorb");
BENCHMARK(BM_ReaddirFnmatch)->Name("file/list_10000_files/peer")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilGetNextPathName)->Name("file/list_10000_files/qorb")->Unit(benchmark::kMillisecond);

}  // namespace
