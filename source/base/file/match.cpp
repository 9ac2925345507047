// match.cpp - matching a name against a pattern with '*' and '?'.
//
// Relies on: nothing but the C string functions. The walk follows the
// family's own rules, which differ from a directory search's: after a '*'
// the next pattern character is compared as it stands, even '?' or '*'.
// Every attempt after a '*' depends only on where it starts in the pattern
// and the name, so failed starts are remembered once a pattern has two or
// more stars, and no pattern costs more than its length times the name's.
#include <cstring>
#include <memory>
#include <new>

#include "file/file_private.h"

namespace qorb::fil {
namespace {

// Failed starts fit on the stack up to this many pattern-by-name places.
constexpr std::size_t kStackMemoBits = 8192;

class Matcher {
 public:
  Matcher(const char *pattern, const char *name, unsigned char *failed)
      : pattern_(pattern), name_(name), nameStride_(std::strlen(name) + 1), failed_(failed) {}

  bool Match(const char *p, const char *n) {
    // Walk while the characters agree or a '?' meets a character.
    while (UpperAscii(*p) == UpperAscii(*n) || (*p == '?' && *n != '\0')) {
      if (*n == '\0') return true;
      ++p;
      ++n;
    }
    if (*p != '*') return false;
    ++p;
    if (*p == '\0') return true;
    if (*n == '\0') return false;
    const char wanted = UpperAscii(*p);
    for (; *n != '\0'; ++n) {
      if (UpperAscii(*n) == wanted && TryFrom(p + 1, n + 1)) return true;
    }
    return false;
  }

 private:
  bool TryFrom(const char *p, const char *n) {
    if (failed_ == nullptr) return Match(p, n);
    const std::size_t place =
        static_cast<std::size_t>(p - pattern_) * nameStride_ + static_cast<std::size_t>(n - name_);
    const unsigned char bit = static_cast<unsigned char>(1u << (place % 8));
    if ((failed_[place / 8] & bit) != 0) return false;
    if (Match(p, n)) return true;
    failed_[place / 8] |= bit;
    return false;
  }

  const char *pattern_;
  const char *name_;
  std::size_t nameStride_;
  unsigned char *failed_;
};

bool HasTwoStars(const char *pattern) {
  const char *first = std::strchr(pattern, '*');
  return first != nullptr && std::strchr(first + 1, '*') != nullptr;
}

bool FileMatch(const char *pattern, const char *name) {
  if (!HasTwoStars(pattern)) return Matcher(pattern, name, nullptr).Match(pattern, name);
  const std::size_t places = (std::strlen(pattern) + 1) * (std::strlen(name) + 1);
  const std::size_t bytes = (places + 7) / 8;
  unsigned char onStack[kStackMemoBits / 8];
  std::unique_ptr<unsigned char[]> onHeap;
  unsigned char *failed = onStack;
  if (bytes <= sizeof onStack) {
    std::memset(onStack, 0, bytes);
  } else {
    onHeap.reset(new (std::nothrow) unsigned char[bytes]());
    failed = onHeap.get();  // without memory the walk goes on unremembered
  }
  return Matcher(pattern, name, failed).Match(pattern, name);
}

}  // namespace
}  // namespace qorb::fil

extern "C" QORB_API uint32_t FilFileMatch(const char *pattern, const char *name) {
  if (pattern == nullptr || name == nullptr) return 0;
  return qorb::fil::FileMatch(pattern, name) ? 1 : 0;
}
