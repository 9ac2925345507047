// context.cpp - opening and closing a parse context, rewinding it, copying
// whole lines out, and the queries on it.
//
// Relies on: the platform layer to open files by path name, the tracked
// allocator for the context block, and the line reader (lines.cpp).
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "parse/parser.h"
#include "platform/files.h"

// The documented 32-bit layout.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(PrsContext, position) == 4 && offsetof(PrsContext, inComment) == 8);
static_assert(offsetof(PrsContext, lineNumber) == 16 && offsetof(PrsContext, fileName) == 24);
static_assert(offsetof(PrsContext, lineBuffer) == 152 && offsetof(PrsContext, specials) == 2200);
static_assert(sizeof(PrsContext) == 2232);
#endif

namespace qorb::prs {
namespace {

// Closes the stream unless it is the standard input, which the parser did
// not open.
void CloseOpenedStream(std::FILE *stream) {
  if (stream != stdin) static_cast<void>(std::fclose(stream));
}

}  // namespace

PrsContext *StartParse(const char *path, std::uint32_t options, const char *specials) {
  std::FILE *stream = path != nullptr ? plat::OpenHostFile(path, "r") : stdin;
  if (stream == nullptr) return nullptr;
  auto *context =
      static_cast<PrsContext *>(MemAllocMem_(sizeof(PrsContext), __LINE__, kSourcePath));
  if (context == nullptr) {
    CloseOpenedStream(stream);
    return nullptr;
  }
  context->stream = stream;
  context->options = options;
  CopyCut(context->fileName, path != nullptr ? path : "stdin");
  CopyCut(context->specials, specials != nullptr ? specials : PRS_DEFAULT_SPECIALS);
  context->position = context->lineBuffer;
  // The block is zero-filled: no comment open, not at the end, line 0.
  if (!NextLine(*context)) {
    CloseOpenedStream(stream);
    MemFreeMem_(context);
    return nullptr;
  }
  return context;
}

bool ResetToLine(PrsContext &context, std::uint32_t n) {
  std::rewind(context.stream);
  context.inComment = 0;
  context.endOfFile = 0;
  context.lineNumber = 0;
  for (std::uint32_t accepted = 1; NextLine(context); ++accepted) {
    if (accepted == n) return true;
  }
  return false;
}

bool CopyLine(PrsContext &context, char *buffer) {
  if (context.endOfFile != 0) return false;
  std::memcpy(buffer, context.lineBuffer, std::strlen(context.lineBuffer) + 1);
  NextLine(context);
  return true;
}

bool AtEndOfLine(PrsContext &context) {
  if (context.endOfFile != 0) return true;
  context.position = SkipBlanks(context.position);
  return *context.position == '\0';
}

}  // namespace qorb::prs

extern "C" {

QORB_API PrsContext *PrsStartParse(const char *path, uint32_t options, const char *specials) {
  return qorb::prs::StartParse(path, options, specials);
}

QORB_API void PrsEndParse_(PrsContext *context) {
  if (context == nullptr) return;
  static_cast<void>(std::fclose(context->stream));
  MemFreeMem_(context);
}

QORB_API uint32_t PrsNextLine(PrsContext *context) {
  return context != nullptr && qorb::prs::NextLine(*context) ? 1 : 0;
}

QORB_API uint32_t PrsResetToLine(PrsContext *context, uint32_t n) {
  return context != nullptr && qorb::prs::ResetToLine(*context, n) ? 1 : 0;
}

QORB_API uint32_t PrsGetLine(PrsContext *context, char *buffer) {
  return context != nullptr && buffer != nullptr && qorb::prs::CopyLine(*context, buffer) ? 1 : 0;
}

QORB_API uint32_t PrsQueryLineNumber(PrsContext *context) {
  return context != nullptr ? context->lineNumber : 0;
}

QORB_API const char *PrsQueryFileName(PrsContext *context) {
  return context != nullptr ? context->fileName : nullptr;
}

QORB_API uint32_t PrsIsEndOfFile(PrsContext *context) {
  return context == nullptr || context->endOfFile != 0 ? 1 : 0;
}

QORB_API uint32_t PrsIsEndOfLine(PrsContext *context) {
  return context == nullptr || qorb::prs::AtEndOfLine(*context) ? 1 : 0;
}

}  // extern "C"
