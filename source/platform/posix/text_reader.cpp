// text_reader.cpp - a read-only stream that drops the CR of every CR LF pair.
//
// Relies on: glibc's fopencookie, over a FILE* opened for binary reading.
// Positions and seeks are those of the file underneath (its bytes, CRs
// included), as with the Windows run-time's text mode.
#include "platform/posix/text_reader.h"

#include <sys/types.h>

namespace qorb::plat {
namespace {

std::FILE *HostOf(void *cookie) {
  return static_cast<std::FILE *>(cookie);
}

// Whether the file's next byte is LF; it is consumed only when it is.
bool NextIsLineFeed(std::FILE *file) {
  const int next = std::getc(file);
  if (next == '\n') return true;
  if (next != EOF) (void)std::ungetc(next, file);
  return false;
}

ssize_t ReadText(void *cookie, char *buffer, std::size_t size) {
  std::FILE *file = HostOf(cookie);
  const std::size_t got = std::fread(buffer, 1, size, file);
  if (got == 0) return std::ferror(file) != 0 ? -1 : 0;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < got; ++i) {
    char c = buffer[i];
    if (c == '\r') {
      if (i + 1 < got) {
        if (buffer[i + 1] == '\n') continue;  // the LF follows in the next round
      } else if (NextIsLineFeed(file)) {
        c = '\n';
      }
    }
    buffer[kept++] = c;
  }
  return static_cast<ssize_t>(kept);
}

int SeekText(void *cookie, off64_t *offset, int whence) {
  std::FILE *file = HostOf(cookie);
  if (fseeko(file, static_cast<off_t>(*offset), whence) != 0) return -1;
  *offset = static_cast<off64_t>(ftello(file));
  return 0;
}

int CloseText(void *cookie) {
  return std::fclose(HostOf(cookie));
}

}  // namespace

std::FILE *OpenCrLfReader(std::FILE *binary) {
  const cookie_io_functions_t functions{ReadText, nullptr, SeekText, CloseText};
  return fopencookie(binary, "r", functions);
}

}  // namespace qorb::plat
