// time_bench.cpp - the standard time text against what a programmer would
// write instead: gmtime_r for the calendar and snprintf of the same form,
// and strptime with timegm (and strtod for the fraction) to read it back.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "qorb32n.h"

namespace {

// Walks values over the whole range with a varying fraction, the same
// sequence for every contender.
struct ValueWalk {
  double t = 997879726.25;
  double Next() {
    t += 86399.1237;
    if (t >= 2147483647.0) t -= 2147480000.0;
    return t;
  }
};

void StandardFormTme(benchmark::State &state) {
  ValueWalk walk;
  char out[25];
  for (auto _ : state) {
    benchmark::DoNotOptimize(TmeRealTimeToString(walk.Next(), out));
    benchmark::ClobberMemory();
  }
}

void StandardFormGmtimeSnprintf(benchmark::State &state) {
  ValueWalk walk;
  char out[25];
  for (auto _ : state) {
    const double t = walk.Next() + 0.00005;
    const auto seconds = static_cast<std::time_t>(t);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    const auto fraction = static_cast<unsigned long>((t - static_cast<double>(seconds)) * 10000.0);
    benchmark::DoNotOptimize(std::snprintf(
        out, sizeof out, "%4lu-%02lu-%02lu_%02lu:%02lu:%02lu.%04lu",
        static_cast<unsigned long>(parts.tm_year) + 1900,
        static_cast<unsigned long>(parts.tm_mon) + 1, static_cast<unsigned long>(parts.tm_mday),
        static_cast<unsigned long>(parts.tm_hour), static_cast<unsigned long>(parts.tm_min),
        static_cast<unsigned long>(parts.tm_sec), fraction));
    benchmark::ClobberMemory();
  }
}

void CalendarTme(benchmark::State &state) {
  ValueWalk walk;
  TmeStruct tm;
  for (auto _ : state) {
    benchmark::DoNotOptimize(TmeRealTimeToStruct(walk.Next(), &tm));
    benchmark::ClobberMemory();
  }
}

void CalendarGmtime(benchmark::State &state) {
  ValueWalk walk;
  std::tm parts{};
  for (auto _ : state) {
    const auto seconds = static_cast<std::time_t>(walk.Next());
    benchmark::DoNotOptimize(gmtime_r(&seconds, &parts));
    benchmark::ClobberMemory();
  }
}

// 64 standard-form texts spread over the range, read in turn.
std::array<std::string, 64> StandardTexts() {
  ValueWalk walk;
  std::array<std::string, 64> texts;
  char out[25];
  for (std::string &text : texts) text = TmeRealTimeToString(walk.Next(), out);
  return texts;
}

void ParseStandardTme(benchmark::State &state) {
  const auto texts = StandardTexts();
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(TmeStringToRealTime(texts[next].c_str()));
    next = (next + 1) % texts.size();
  }
}

void ParseStandardStrptime(benchmark::State &state) {
  const auto texts = StandardTexts();
  std::size_t next = 0;
  for (auto _ : state) {
    std::tm parts{};
    const char *rest = strptime(texts[next].c_str(), "%Y-%m-%d_%H:%M:%S", &parts);
    double t = static_cast<double>(timegm(&parts));
    if (rest != nullptr && *rest == '.') t += std::strtod(rest, nullptr);
    benchmark::DoNotOptimize(t);
    next = (next + 1) % texts.size();
  }
}

}  // namespace

BENCHMARK(StandardFormTme)->Name("time/to_standard_text/qorb");
BENCHMARK(StandardFormGmtimeSnprintf)->Name("time/to_standard_text/peer");
BENCHMARK(CalendarTme)->Name("time/to_calendar/qorb");
BENCHMARK(CalendarGmtime)->Name("time/to_calendar/peer");
BENCHMARK(ParseStandardTme)->Name("time/from_standard_text/qorb");
BENCHMARK(ParseStandardStrptime)->Name("time/from_standard_text/peer");
