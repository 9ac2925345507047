// formats.cpp - checking and applying the print and scan formats of the
// value conversions.
//
// Relies on: snprintf and sscanf, always with an argument whose width the
// rewritten format names, and the bounded formatter, so that neither a
// format nor a text can make a conversion write outside its element or
// past the output buffer.
#include "ini/formats.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "bounded_format.h"

namespace qorb::ini {
namespace {

// A format held as the conversions hold it: 79 characters at most.
constexpr std::size_t kHeldFormatCapacity = 80;
// Room for a held format whose length modifier grows to two characters.
constexpr std::size_t kRewrittenCapacity = kHeldFormatCapacity + 2;

enum class Kind { kInteger, kReal, kText };

// The single conversion of a format: where it lies, its length modifier
// and its conversion character.
struct Conversion {
  std::size_t modifierBegin = 0;
  std::size_t modifierEnd = 0;
  char character = '\0';
};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::size_t SkipDigits(const char *format, std::size_t at) {
  while (IsDigit(format[at])) ++at;
  return at;
}

// The length modifiers an own format may use.
bool KnownModifier(std::string_view modifier) {
  return modifier.empty() || modifier == "h" || modifier == "hh" || modifier == "l" ||
         modifier == "ll" || modifier == "L";
}

// Reads the conversion after a '%' at `at`: flags, width and precision
// for printing, a width for scanning, then the length modifier and the
// conversion character. false for what no conversion here may use.
bool ReadConversion(const char *format, std::size_t &at, bool scanning, Conversion &out) {
  if (scanning) {
    at = SkipDigits(format, at);
  } else {
    while (format[at] != '\0' && std::strchr("-+ #0", format[at]) != nullptr) ++at;
    at = SkipDigits(format, at);
    if (format[at] == '.') at = SkipDigits(format, at + 1);
  }
  out.modifierBegin = at;
  while (format[at] == 'h' || format[at] == 'l' || format[at] == 'L') ++at;
  out.modifierEnd = at;
  out.character = format[at];
  if (out.character == '\0') return false;
  ++at;
  return KnownModifier(
      std::string_view(format + out.modifierBegin, out.modifierEnd - out.modifierBegin));
}

// Finds the one conversion of a format ("%%" is a literal percent sign);
// false when there is none, more than one, or one that cannot be read.
bool FindSoleConversion(const char *format, bool scanning, Conversion &out) {
  bool found = false;
  for (std::size_t at = 0; format[at] != '\0';) {
    if (format[at++] != '%') continue;
    if (format[at] == '%') {
      ++at;
      continue;
    }
    if (found || !ReadConversion(format, at, scanning, out)) return false;
    found = true;
  }
  return found;
}

bool ConversionOfKind(char character, Kind kind, bool scanning) {
  switch (kind) {
    case Kind::kInteger:
      return std::strchr(scanning ? "diouxX" : "diouxXc", character) != nullptr;
    case Kind::kReal:
      return std::strchr("fFeEgGaA", character) != nullptr;
    default:
      return character == 's';
  }
}

// The format a conversion applies, rewritten with a length modifier.
class AppliedFormat {
 public:
  // Takes the descriptor's own format when it is usable for the kind,
  // else `fallback`.
  AppliedFormat(const Fdsc &field, const char *fallback, Kind kind, bool scanning) {
    if (field.format != nullptr && Accept(field.format, kind, scanning)) return;
    Accept(fallback, kind, scanning);
  }

  // The format with the conversion's length modifier replaced.
  const char *With(std::string_view modifier) {
    const std::string_view base(text_);
    const std::string_view rest = base.substr(conversion_.modifierEnd);
    char *out = rewritten_;
    for (std::string_view piece : {base.substr(0, conversion_.modifierBegin), modifier, rest}) {
      std::memcpy(out, piece.data(), piece.size());
      out += piece.size();
    }
    *out = '\0';
    return rewritten_;
  }

  std::string_view modifier() const {
    return std::string_view(text_ + conversion_.modifierBegin,
                            conversion_.modifierEnd - conversion_.modifierBegin);
  }
  char character() const { return conversion_.character; }

 private:
  // Holds the format, cut to 79 characters, when it is usable for the kind.
  bool Accept(const char *format, Kind kind, bool scanning) {
    const std::size_t length = strnlen(format, kHeldFormatCapacity - 1);
    std::memcpy(text_, format, length);
    text_[length] = '\0';
    Conversion conversion;
    if (!FindSoleConversion(text_, scanning, conversion) ||
        !ConversionOfKind(conversion.character, kind, scanning) ||
        (kind == Kind::kText && conversion.modifierBegin != conversion.modifierEnd)) {
      text_[0] = '\0';
      return false;
    }
    conversion_ = conversion;
    return true;
  }

  char text_[kHeldFormatCapacity] = "";
  char rewritten_[kRewrittenCapacity] = "";
  Conversion conversion_;
};

// An integer's print modifier: "h" and "hh" keep their narrowing, "l" and
// none mean 32 bits (an int here), "ll" and "L" 64 bits.
bool PrintsWide(const AppliedFormat &format) {
  return format.character() != 'c' && (format.modifier() == "ll" || format.modifier() == "L");
}

std::string_view IntegerPrintModifier(const AppliedFormat &format) {
  if (PrintsWide(format)) return "ll";
  if (format.character() == 'c' || format.modifier() == "l") return "";
  return format.modifier();
}

// The text "%<count>.<count>s" with which a fixed string is written.
struct FixedStringFormat {
  explicit FixedStringFormat(std::uint32_t count) {
    BoundedFormat(text, sizeof text, "%%%u.%us", count, count);
  }
  char text[32];
};

}  // namespace

void PrintInteger(TextBuffer &out, const Fdsc &field, std::int64_t value) {
  AppliedFormat format(field, DefaultFormat(field.type), Kind::kInteger, false);
  const char *applied = format.With(IntegerPrintModifier(format));
  if (PrintsWide(format)) {
    BoundedFormat(out, sizeof out, applied, static_cast<long long>(value));
  } else {
    BoundedFormat(out, sizeof out, applied, static_cast<int>(static_cast<std::uint32_t>(value)));
  }
}

void PrintReal(TextBuffer &out, const Fdsc &field, double value) {
  AppliedFormat format(field, DefaultFormat(field.type), Kind::kReal, false);
  BoundedFormat(out, sizeof out, format.With(""), value);
}

void PrintText(TextBuffer &out, const Fdsc &field, const char *text) {
  const FixedStringFormat made(field.count);
  const char *fallback = field.type == FDSC_FIXEDSTRING ? made.text : "%s";
  AppliedFormat format(field, fallback, Kind::kText, false);
  BoundedFormat(out, sizeof out, format.With(""), text);
}

bool ScanInteger(const char *text, const Fdsc &field, std::int64_t &value) {
  AppliedFormat format(field, DefaultFormat(field.type), Kind::kInteger, true);
  const bool isSigned = format.character() == 'd' || format.character() == 'i';
  if (isSigned) {
    long long scanned = 0;
    if (std::sscanf(text, format.With("ll"), &scanned) != 1) return false;
    value = scanned;
  } else {
    unsigned long long scanned = 0;
    if (std::sscanf(text, format.With("ll"), &scanned) != 1) return false;
    value = static_cast<std::int64_t>(scanned);
  }
  return true;
}

bool ScanFloat(const char *text, const Fdsc &field, float &value) {
  AppliedFormat format(field, DefaultFormat(FDSC_FLOAT), Kind::kReal, true);
  return std::sscanf(text, format.With(""), &value) == 1;
}

bool ScanDouble(const char *text, const Fdsc &field, double &value) {
  AppliedFormat format(field, DefaultFormat(FDSC_DOUBLE), Kind::kReal, true);
  return std::sscanf(text, format.With("l"), &value) == 1;
}

}  // namespace qorb::ini
