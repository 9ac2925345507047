// capture.h - captures what a piece of code writes on standard output or
// standard error, by pointing the descriptor at a temporary file for the
// length of the call; the stream is flushed on both sides of it.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

namespace qorb::test {

inline std::string Capture(std::FILE *stream, const std::function<void()> &body) {
  std::FILE *sink = std::tmpfile();
  if (sink == nullptr) return {};
  static_cast<void>(std::fflush(stream));
  const int saved = dup(fileno(stream));
  dup2(fileno(sink), fileno(stream));
  body();
  static_cast<void>(std::fflush(stream));
  dup2(saved, fileno(stream));
  close(saved);
  std::string text;
  std::rewind(sink);
  for (int c = std::fgetc(sink); c != EOF; c = std::fgetc(sink)) text += static_cast<char>(c);
  static_cast<void>(std::fclose(sink));
  return text;
}

// Runs body with standard output (or error) redirected; what it wrote.
inline std::string CaptureStdout(const std::function<void()> &body) {
  return Capture(stdout, body);
}
inline std::string CaptureStderr(const std::function<void()> &body) {
  return Capture(stderr, body);
}

}  // namespace qorb::test
