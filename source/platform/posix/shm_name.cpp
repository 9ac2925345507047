// shm_name.cpp - escaping object names into shared-memory names.
//
// The escaped form is injective ('%' itself is escaped), so two different
// object names never share an object. Overlong names are refused, never cut.
#include "platform/posix/shm_name.h"

#include <unistd.h>

#include <cstdio>

namespace qorb::plat::posix {
namespace {

bool PassesUnescaped(unsigned char byte) {
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
         (byte >= '0' && byte <= '9') || byte == '.' || byte == '_' || byte == '-';
}

std::size_t WritePrefix(char (&out)[kShmNameSize], const char *tail) {
  const int written =
      std::snprintf(out, kShmNameSize, "/qorb32n-%u%s", static_cast<unsigned>(geteuid()), tail);
  return written > 0 ? static_cast<std::size_t>(written) : 0;
}

}  // namespace

bool ObjectShmName(const char *name, char (&out)[kShmNameSize]) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::size_t length = WritePrefix(out, "-");
  for (const unsigned char *byte = reinterpret_cast<const unsigned char *>(name); *byte != 0;
       ++byte) {
    const std::size_t needed = PassesUnescaped(*byte) ? 1 : 3;
    if (length + needed > kShmNameSize - 1) {
      out[0] = '\0';
      return false;
    }
    if (needed == 1) {
      out[length++] = static_cast<char>(*byte);
    } else {
      out[length++] = '%';
      out[length++] = kHex[*byte >> 4];
      out[length++] = kHex[*byte & 0x0Fu];
    }
  }
  out[length] = '\0';
  return true;
}

void LivenessShmName(std::uint32_t pid, std::uint32_t nonce, char (&out)[kShmNameSize]) {
  char tail[32];
  (void)std::snprintf(tail, sizeof tail, ".live-%u-%08x", static_cast<unsigned>(pid),
                      static_cast<unsigned>(nonce));
  WritePrefix(out, tail);
}

UserShmPrefixes UserPrefixes() {
  UserShmPrefixes prefixes{};
  const auto uid = static_cast<unsigned>(geteuid());
  (void)std::snprintf(prefixes.objects, sizeof prefixes.objects, "qorb32n-%u-", uid);
  (void)std::snprintf(prefixes.liveness, sizeof prefixes.liveness, "qorb32n-%u.live-", uid);
  return prefixes;
}

}  // namespace qorb::plat::posix
