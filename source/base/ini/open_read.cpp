// open_read.cpp - opening a configuration file for reading: the whole file
// is parsed into entries (section headers and key lines), then indexed.
//
// Relies on: the text parser's word, character and sentence readers with
// the configuration files' fifteen specials; the tracked allocator for the
// handle and the copies. Words arrive whole (a word is never longer than a
// line); names and values are cut to INI_MAX_TEXT characters. A quoted value
// may join any number of lines, so it is read here, by the parser's rules,
// into a bounded buffer rather than with PrsGetSentence, which has no size.
#include <memory>

#include "ini/handle.h"
#include "ini/ini_private.h"

namespace qorb::ini {
namespace {

// The characters that end a word in configuration files.
constexpr const char *kSpecials = "]-!@#$%&*<>_|\\:";
constexpr char kQuote = '"';

class FileParser {
 public:
  FileParser(PrsContext *context, IniFile &file) : context_(context), file_(file) {}

  // "[", one word, "]"; the rest of that line is dropped.
  bool ReadFileHeader() {
    if (PrsNextChar(context_, '[') == 0 || PrsGetWord(context_, line_) == 0 ||
        PrsNextChar(context_, ']') == 0) {
      return false;
    }
    PrsNextLine(context_);
    return true;
  }

  // Entries up to the end of the input; false at the first that breaks the
  // syntax or does not fit.
  bool ReadEntries() {
    for (;;) {
      if (PrsQueryChar(context_, '[') != 0) {
        if (!ReadSectionHeader()) return false;
      } else if (PrsIsEndOfFile(context_) != 0) {
        return true;
      } else if (!ReadKeyLine()) {
        return false;
      }
    }
  }

 private:
  // Reads a word and appends it to text; false at the end of the input, and
  // for an empty word when `nonEmpty` is asked for.
  bool AppendWord(BoundedText &text, bool nonEmpty) {
    if (PrsGetWord(context_, line_) == 0) return false;
    if (nonEmpty && line_[0] == '\0') return false;
    text.AppendCut(line_);
    return true;
  }

  // "[", words up to "]", joined without their blanks.
  bool ReadSectionHeader() {
    PrsNextChar(context_, '[');
    BoundedText name;
    if (!AppendWord(name, true)) return false;
    while (PrsQueryChar(context_, ']') == 0) {
      if (!AppendWord(name, true)) return false;
    }
    PrsNextChar(context_, ']');
    return AddEntry(true, name.c_str(), nullptr);
  }

  // A key of one or two words, "=", and the value.
  bool ReadKeyLine() {
    BoundedText key;
    if (!AppendWord(key, false)) return false;
    if (PrsQueryChar(context_, '=') == 0) {
      if (!AppendWord(key, false) || PrsQueryChar(context_, '=') == 0) return false;
    }
    PrsNextChar(context_, '=');
    BoundedText value;
    return ReadValue(value) && AddEntry(false, key.c_str(), value.c_str());
  }

  // Quoted texts joined, or the rest of the line. When the input ends right
  // after the "=" the value is empty, as the sentence reader would give it.
  bool ReadValue(BoundedText &value) {
    if (PrsQueryChar(context_, kQuote) != 0) return ReadQuotedValue(value);
    if (PrsIsEndOfFile(context_) != 0) return true;
    if (PrsGetSentence(context_, line_) == 0) return false;
    value.AppendCut(line_);
    return true;
  }

  // Each quoted text runs to the next quote, over line ends (which are
  // dropped with the next line's leading blanks); a quote after the closing
  // one, past any blanks, starts another text. false when the input ends
  // inside a quoted text.
  bool ReadQuotedValue(BoundedText &value) {
    while (PrsNextChar(context_, kQuote) != 0) {
      for (;;) {
        const std::string_view rest(context_->position);
        const std::size_t close = rest.find(kQuote);
        value.AppendCut(rest.substr(0, close));
        if (close != std::string_view::npos) {
          context_->position += close + 1;
          break;
        }
        if (PrsNextLine(context_) == 0) return false;
      }
    }
    return true;
  }

  bool AddEntry(bool isSection, const char *name, const char *value) {
    if (file_.entryCount >= INI_MAX_ENTRIES) return false;
    IniEntry &entry = file_.entries[file_.entryCount];
    entry.isSection = isSection ? 1 : 0;
    entry.name = MemAllocString_(name, __LINE__, kSourcePath);
    if (value != nullptr) entry.value = MemAllocString_(value, __LINE__, kSourcePath);
    // Counted even when a copy failed, so that closing frees the other one.
    ++file_.entryCount;
    return entry.name != nullptr && (value == nullptr || entry.value != nullptr);
  }

  PrsContext *context_;
  IniFile &file_;
  char line_[PRS_LINE_SIZE];
};

struct ContextEnder {
  void operator()(PrsContext *context) const { PrsEndParse_(context); }
};

}  // namespace

IniFile *OpenForReading(const char *path) {
  const std::unique_ptr<PrsContext, ContextEnder> context(PrsStartParse(path, 0, kSpecials));
  if (context == nullptr) return nullptr;
  auto *handle = static_cast<ReadHandle *>(MemAllocMem_(sizeof(ReadHandle), __LINE__, kSourcePath));
  if (handle == nullptr) return nullptr;
  FileParser parser(context.get(), handle->file);
  if (!parser.ReadFileHeader() || !parser.ReadEntries()) {
    CloseHandle(&handle->file);
    return nullptr;
  }
  handle->index.Build(handle->file);
  return &handle->file;
}

}  // namespace qorb::ini
