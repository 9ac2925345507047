// time_text_fuzz.cpp - the five time-text parsers on any text. Each text is
// copied into a block of exactly its length and NUL, so that a read past the
// terminator is caught; the results are checked against what the parsers
// promise whatever they read.
//
// Relies on: the Tme text parsers and TmeRealTimeToStruct.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "fuzz_input.h"
#include "qorb32n.h"

namespace {

// A text in a heap block of exactly its size, NUL included.
std::unique_ptr<char[]> ExactCopy(const std::string &text) {
  auto copy = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  return copy;
}

// Every parser starts from 1970 and never goes below it; NaN or an infinity
// would mean a conversion ran away.
void CheckTime(RealTime t) {
  if (!std::isfinite(t) || t < 0.0) std::abort();
  TmeStruct parts;
  if (TmeRealTimeToStruct(t, &parts) == nullptr) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  qorb::fuzz::SetUpLibrary();
  const qorb::fuzz::AllocationBalance balance;
  for (const std::string &text : qorb::fuzz::SplitTexts(data, size, 2)) {
    const auto copy = ExactCopy(text);
    CheckTime(TmeStringToRealTime(copy.get()));
    CheckTime(TmeJulianStringToRealTime(copy.get()));
    CheckTime(TmeMSTimeStringToRealTime(copy.get()));
    CheckTime(TmeSQLDateTimeToRealTime(copy.get()));
    const RealTime whole = TmeMSTimeStringToRealTime(copy.get());
    const auto seconds = static_cast<std::uint32_t>(TmeMSTimeStringToLongSec(copy.get()));
    if (seconds != static_cast<std::uint32_t>(std::fmod(std::floor(whole), 4294967296.0))) {
      std::abort();
    }
  }
  return 0;
}
