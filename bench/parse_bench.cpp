// parse_bench.cpp - reading a 1 MB text file word by word through a parse
// context against a hand-written fgets + strtok loop over the same file.
// Both count the words, so each side must see every one.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "bench_support.h"
#include "qorb32n.h"

namespace {

constexpr std::size_t kFileBytes = 1 << 20;

// Lines of 4 to 12 words of letters and digits, about a megabyte.
std::string WordText() {
  std::mt19937 random(3);
  std::string text;
  while (text.size() < kFileBytes) {
    const unsigned words = 4 + random() % 9;
    for (unsigned w = 0; w < words; ++w) {
      const unsigned length = 1 + random() % 10;
      for (unsigned c = 0; c < length; ++c) {
        text.push_back(static_cast<char>(c % 3 == 2 ? '0' + random() % 10 : 'a' + random() % 26));
      }
      text.push_back(w + 1 < words ? ' ' : '\n');
    }
  }
  return text;
}

long CountWords(const std::string &text) {
  long words = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    words +=
        text[i] != ' ' && text[i] != '\n' && (i == 0 || text[i - 1] == ' ' || text[i - 1] == '\n');
  }
  return words;
}

struct WordFile {
  WordFile() : drive('P'), text(WordText()), host(drive.Write("words.txt", text).string()) {}
  qorb::bench::ScratchDrive drive;
  std::string text;
  std::string host;
  long words = CountWords(text);
};

const WordFile &File() {
  static const WordFile file;
  return file;
}

void FgetsStrtok(benchmark::State &state) {
  const std::string &path = File().host;
  for (auto _ : state) {
    std::FILE *stream = std::fopen(path.c_str(), "r");
    char line[PRS_LINE_SIZE];
    long words = 0;
    while (std::fgets(line, sizeof line, stream) != nullptr) {
      for (char *word = std::strtok(line, " \t\r\n"); word != nullptr;
           word = std::strtok(nullptr, " \t\r\n")) {
        ++words;
      }
    }
    std::fclose(stream);
    if (words != File().words) state.SkipWithError("words missed");
  }
}

void PrsGetWords(benchmark::State &state) {
  const std::string path = File().drive.PathName("words.txt");
  for (auto _ : state) {
    PrsContext *context = PrsStartParse(path.c_str(), 0, nullptr);
    char word[PRS_LINE_SIZE];
    long words = 0;
    while (PrsGetWord(context, word) != 0 && word[0] != '\0') ++words;
    PrsEndParse_(context);
    if (words != File().words) state.SkipWithError("words missed");
  }
}

}  // namespace

BENCHMARK(FgetsStrtok)->Name("parse/words_of_1MB/peer")->Unit(benchmark::kMillisecond);
BENCHMARK(PrsGetWords)->Name("parse/words_of_1MB/qorb")->Unit(benchmark::kMillisecond);
