// wildcard.cpp - the Windows wildcard rules as a set of pattern positions
// walked along the name, so no pattern or name, however many '*' it holds,
// costs more than its length times the pattern's.
//
// Relies on: wildcard.h; the C string functions.
#include "platform/common/wildcard.h"

#include <cstring>
#include <utility>

namespace qorb::plat {
namespace {

constexpr std::size_t kNoDot = static_cast<std::size_t>(-1);

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

class Matcher {
 public:
  Matcher(const char *pattern, std::size_t patternLength, const char *name)
      : pattern_(pattern),
        patternLength_(patternLength),
        name_(name),
        nameLength_(std::strlen(name)) {
    const char *lastDot = std::strrchr(name, '.');
    lastDot_ = lastDot != nullptr ? static_cast<std::size_t>(lastDot - name) : kNoDot;
    // wildTail_[p]: nothing but '*' and '?' from position p on.
    wildTail_[patternLength] = true;
    for (std::size_t p = patternLength; p-- > 0;) {
      wildTail_[p] = wildTail_[p + 1] && (pattern[p] == '*' || pattern[p] == '?');
    }
  }

  bool Run() {
    // Two rows of live positions, used in turn; only the pattern's length
    // of each is ever cleared.
    bool rows[2][kMaxWildcardPattern + 1];
    const std::size_t used = patternLength_ + 1;
    bool *states = rows[0];
    bool *next = rows[1];
    std::memset(states, 0, used);
    states[0] = true;
    AddEmptyMoves(states, 0);
    for (std::size_t i = 0; i < nameLength_; ++i) {
      std::memset(next, 0, used);
      if (!Consume(states, i, next)) return false;
      AddEmptyMoves(next, i + 1);
      std::swap(states, next);
    }
    return states[patternLength_];
  }

 private:
  // Positions reachable without taking a name character at name position i;
  // every such move goes one position forward, so one pass finds them all.
  void AddEmptyMoves(bool *states, std::size_t i) const {
    const bool atEnd = i == nameLength_;
    for (std::size_t p = 0; p < patternLength_; ++p) {
      if (!states[p]) continue;
      const char c = pattern_[p];
      if (c == '*' || (c == '?' && (atEnd || name_[i] == '.')) ||
          (c == '.' && atEnd && wildTail_[p + 1])) {
        states[p + 1] = true;
      }
    }
  }

  // Takes name character i from every live position; false when none lives.
  bool Consume(const bool *states, std::size_t i, bool *next) const {
    bool any = false;
    for (std::size_t p = 0; p < patternLength_; ++p) {
      if (!states[p]) continue;
      const char c = pattern_[p];
      if (c == '*') {
        const bool beforeDot = p + 1 < patternLength_ && pattern_[p + 1] == '.';
        if (beforeDot && i == lastDot_) continue;
        next[p] = any = true;
      } else if (c == '?' || UpperAscii(c) == UpperAscii(name_[i])) {
        next[p + 1] = any = true;
      }
    }
    return any;
  }

  const char *pattern_;
  std::size_t patternLength_;
  const char *name_;
  std::size_t nameLength_;
  std::size_t lastDot_;
  bool wildTail_[kMaxWildcardPattern + 1];
};

}  // namespace

bool WildcardMatches(const char *pattern, const char *name) {
  const std::size_t patternLength = std::strlen(pattern);
  if (patternLength > kMaxWildcardPattern) return false;
  return Matcher(pattern, patternLength, name).Run();
}

}  // namespace qorb::plat
