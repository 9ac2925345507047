// pipe_ends.h - an anonymous pipe in binary mode on every host the tests run
// on, for streams that cannot seek and for feeding standard input.
#pragma once

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

// Fills ends with the read and the write descriptor; answers 0 on success.
inline int OpenPipe(int ends[2]) {
#ifdef _WIN32
  return _pipe(ends, 4096, _O_BINARY);
#else
  return pipe(ends);
#endif
}
