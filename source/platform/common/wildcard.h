// wildcard.h - matching a file name against a directory-search pattern by
// the Windows rules.
#pragma once

#include <cstddef>

namespace qorb::plat {

// Patterns longer than this match nothing.
inline constexpr std::size_t kMaxWildcardPattern = 259;

// Whether a name matches a pattern, ignoring the case of ASCII letters:
// - '*' stands for any run of characters, also none; a '*' right before a
//   '.' does not run over the name's last dot, so "*." matches only names
//   without a dot and "*.txt" matches "a.b.txt";
// - '?' stands for one character, or for none at a '.' or at the end of the
//   name ("a?.txt" matches "a.txt", "a??" matches "a");
// - a '.' followed only by '*' and '?' also matches the end of a name, so
//   "*.*" matches every name, "xy" too;
// - every other character stands for itself.
bool WildcardMatches(const char *pattern, const char *name);

}  // namespace qorb::plat
