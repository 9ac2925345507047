// capture.cpp - redirection of stdout/stderr into a temporary file with
// dup/dup2; the stdio stream is flushed on both sides of the call so that
// buffered output lands where it belongs.
#include "support/capture.h"

#include <unistd.h>

#include <cstdio>
#include <stdexcept>

namespace qorb::test {

namespace {

std::string ReadAll(std::FILE *file) {
  std::string text;
  std::rewind(file);
  char chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  return text;
}

std::string Capture(std::FILE *stream, const std::function<void()> &body) {
  std::FILE *sink = std::tmpfile();
  if (sink == nullptr) throw std::runtime_error("tmpfile failed");
  const int descriptor = fileno(stream);
  std::fflush(stream);
  const int saved = dup(descriptor);
  if (saved < 0 || dup2(fileno(sink), descriptor) < 0) {
    std::fclose(sink);
    throw std::runtime_error("cannot redirect the stream");
  }
  body();
  std::fflush(stream);
  dup2(saved, descriptor);
  close(saved);
  std::string text = ReadAll(sink);
  std::fclose(sink);
  return text;
}

}  // namespace

std::string CaptureStdout(const std::function<void()> &body) {
  return Capture(stdout, body);
}

std::string CaptureStderr(const std::function<void()> &body) {
  return Capture(stderr, body);
}

}  // namespace qorb::test
