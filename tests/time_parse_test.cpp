// time_parse_test.cpp - the time-text parsers: the four text forms, the
// separator and fraction rules, the round trip of the standard form over the
// whole range, and random bytes that must never be read past their NUL.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "qorb32n.h"

namespace {

// The value of a calendar date and time (fraction in ten-thousandths).
RealTime At(int32_t year, int32_t month, int32_t day, int32_t hour = 0, int32_t minute = 0,
            int32_t second = 0, uint32_t tenThousandths = 0) {
  TmeStruct tm = {year, month, day, hour, minute, second, tenThousandths, 0.0f, 0, 0};
  return TmeStructToRealTime(&tm);
}

using Parser = RealTime (*)(const char *);

struct Case {
  Parser parse;
  const char *text;
  RealTime expected;
};

// A heap copy of exactly the text and its NUL, so that AddressSanitizer
// sees any read past the end.
std::unique_ptr<char[]> ExactCopy(const std::string &text) {
  auto copy = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  return copy;
}

}  // namespace

TEST(TimeParse, ReadsEachFormAndItsPartialTexts) {
  const RealTime noon = At(2001, 8, 15, 12, 48, 46);
  const Case cases[] = {
      {TmeStringToRealTime, "2001-08-15_12:48:46.2500", 997879726.25},
      {TmeStringToRealTime, "2001-08-15", 997833600.0},
      {TmeStringToRealTime, "2001/08/15 12.48.46", noon},
      {TmeStringToRealTime, "2001 8 15", At(2001, 8, 15)},
      {TmeStringToRealTime, "99-12-31", At(1999, 12, 31)},
      {TmeStringToRealTime, "2001-13-01", At(2002, 1, 1)},
      {TmeStringToRealTime, "2001-08-15_12:48:46.", noon},
      // A fraction of 1, 2 or 3 digits is tenths, hundredths, thousandths.
      {TmeStringToRealTime, "2001-08-15_12:48:46.5", noon + 0.5},
      {TmeStringToRealTime, "2001-08-15_12:48:46.25", noon + 0.25},
      {TmeStringToRealTime, "2001-08-15_12:48:46.125", noon + 0.125},
      {TmeStringToRealTime, "2001-08-15_12:48:46.0500", noon + 0.05},
      {TmeStringToRealTime, "2001-08-15_12:48:46.12345", noon + 1.2345},
      {TmeStringToRealTime, "", 0.0},
      // Values are cut to 16 bits: 67537 is 2001 modulo 65536.
      {TmeStringToRealTime, "67537-08-15", 997833600.0},
      // Nothing is skipped before the year: every field shifts by one.
      {TmeStringToRealTime, " 2001-08-15", At(0, 2001, 8, 15)},
      // Only the first 15 digits of a run count; the rest are passed over.
      {TmeStringToRealTime, "2001-0000000000000001-15", At(2001, 0, 15)},
      {TmeJulianStringToRealTime, "2001.227 12:48:46", noon},
      {TmeJulianStringToRealTime, "2001.032", At(2001, 2, 1)},
      {TmeJulianStringToRealTime, "~", 0.0},
      {TmeJulianStringToRealTime, "2001~", At(2001, 1, 1)},
      {TmeJulianStringToRealTime, "2001.227~12", At(2001, 8, 15)},
      {TmeJulianStringToRealTime, "2001.227 12:48:46.5", noon + 0.5},
      // Not cut to 16 bits: year 67537 lies past the calendar's range.
      {TmeJulianStringToRealTime, "67537.227", At(67537, 1, 227)},
      {TmeMSTimeStringToRealTime, "Wed Aug 15 12:48:46 2001", 997879726.0},
      {TmeMSTimeStringToRealTime, "xyz AUG 15 12:48:46 2001", 997879726.0},
      {TmeMSTimeStringToRealTime, "Wed Aug 15 12:48", At(1970, 8, 15, 12, 48)},
      {TmeMSTimeStringToRealTime, "Wed Aug 15 12-48:46 2001", At(1970, 8, 15, 12)},
      {TmeSQLDateTimeToRealTime, "Aug 15 2001 12:48PM", 997879680.0},
      {TmeSQLDateTimeToRealTime, "Aug 15 2001 12:48AM", At(2001, 8, 15, 0, 48)},
      {TmeSQLDateTimeToRealTime, "aug 15 2001 1:30pm", At(2001, 8, 15, 13, 30)},
      {TmeSQLDateTimeToRealTime, "AUG 15 2001 12:05 PM", At(2001, 8, 15, 12, 5)},
      {TmeSQLDateTimeToRealTime, "Aug 15 2001 12:05", At(2001, 8, 15, 0, 5)},
  };
  for (const Case &c : cases) EXPECT_DOUBLE_EQ(c.parse(c.text), c.expected) << c.text;
  for (const Parser parse : {TmeStringToRealTime, TmeJulianStringToRealTime,
                             TmeMSTimeStringToRealTime, TmeSQLDateTimeToRealTime}) {
    EXPECT_EQ(parse(nullptr), 0.0);
  }
}

TEST(TimeParse, LongSecondsTruncateAndWrapTo32Bits) {
  EXPECT_EQ(TmeMSTimeStringToLongSec("Wed Aug 15 12:48:46 2001"), 997879726);
  EXPECT_EQ(TmeMSTimeStringToLongSec("Fri Jan 01 00:00:00 2100"),
            static_cast<int32_t>(4102444800 - 4294967296));
  EXPECT_EQ(TmeMSTimeStringToLongSec(nullptr), 0);
}

TEST(TimeParse, StandardFormReadsBackEveryValueOfTheRange) {
  // A prime stride with a varying fraction walks the range from 1970 to
  // 2106, day boundaries and leap days included.
  char text[25];
  std::mt19937 random(7);
  for (uint32_t k = 0; k <= 4294967295u / 21601; ++k) {
    const double t = k * 21601.0 + (random() % 10000) * 0.0001;
    ASSERT_NEAR(TmeStringToRealTime(TmeRealTimeToString(t, text)), t, 0.0001) << text;
  }
  for (const double t : {0.0, 0.00004, 1.99996, 951782399.9999, 4294967295.0}) {
    ASSERT_NEAR(TmeStringToRealTime(TmeRealTimeToString(t, text)), t, 0.0001) << text;
  }
}

TEST(TimeParse, RandomTextsAreReadWithinTheirBounds) {
  // Bytes drawn mostly from the characters the forms use, so that the
  // parsers go deep into their fields; each text is an exact heap copy.
  const std::string alphabet = "0123456789-_:. ~/AaJjPpMmUuGgNnEeDd\t\x80\xff";
  std::mt19937 random(12345);
  const Parser parsers[] = {TmeStringToRealTime, TmeJulianStringToRealTime,
                            TmeMSTimeStringToRealTime, TmeSQLDateTimeToRealTime};
  for (int round = 0; round < 20000; ++round) {
    std::string text(random() % 40, ' ');
    for (char &c : text) {
      c = random() % 4 == 0 ? static_cast<char>(random() % 255 + 1)
                            : alphabet[random() % alphabet.size()];
    }
    const auto copy = ExactCopy(text);
    for (const Parser parse : parsers) {
      const RealTime value = parse(copy.get());
      ASSERT_TRUE(value >= 0.0 && value < 4294967296.0 + 524288.0) << text;
    }
    static_cast<void>(TmeMSTimeStringToLongSec(copy.get()));
  }
}
