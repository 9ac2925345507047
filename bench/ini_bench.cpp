// ini_bench.cpp - opening a configuration file of 5000 keys in 50 sections
// and reading a record that takes every key, against parsing the same file
// with the inih library into a hash map and looking every key up (with the
// same number conversion).
#include <benchmark/benchmark.h>
#include <ini.h>

#include <cstdlib>
#include <string>
#include <unordered_map>

#include "bench_support.h"
#include "qorb32n.h"

namespace {

constexpr int kSections = 50;
constexpr int kKeysPerField = 50;  // two fields, A and B, per section

#pragma pack(push, 1)
struct Section {
  int32_t a[kKeysPerField];
  int32_t b[kKeysPerField];
};
struct Settings {
  Section section[kSections];
};
#pragma pack(pop)

Sdsc SectionDescriptor() {
  Sdsc structure{};
  structure.size = sizeof(Section);
  structure.fields[structure.fieldCount++] =
      Fdsc{0, "A", 0, FDSC_LONG, kKeysPerField, nullptr, nullptr};
  structure.fields[structure.fieldCount++] =
      Fdsc{0, "B", 0, FDSC_LONG, kKeysPerField, nullptr, nullptr};
  return structure;
}

const Sdsc kSection = SectionDescriptor();
const Sdsc kSettingsFields = [] {
  Sdsc structure{};
  structure.size = sizeof(Settings);
  structure.fields[structure.fieldCount++] =
      Fdsc{0, "Section", 0, FDSC_STRUCT, kSections, nullptr, &kSection};
  return structure;
}();
const Fdsc kSettings{0, "Cfg", 0, FDSC_STRUCT, 1, nullptr, &kSettingsFields};

// The file as IniWrite lays it out ("[ Cfg Section 1 ]", "A 1 = 1001"), but
// with the keys not indented: inih takes an indented line for the
// continuation of the value before it.
std::string SettingsText() {
  std::string text = "[ settings.ini ]\n\n[ Cfg ]\n";
  for (int s = 1; s <= kSections; ++s) {
    text += "\n[ Cfg Section " + std::to_string(s) + " ]\n";
    for (const char *field : {"A", "B"}) {
      for (int k = 1; k <= kKeysPerField; ++k) {
        text += std::string(field) + " " + std::to_string(k) + " = " +
                std::to_string(s * 1000 + k) + "\n";
      }
    }
  }
  return text;
}

struct SettingsFile {
  SettingsFile() : drive('I'), host(drive.Write("settings.ini", SettingsText()).string()) {}
  qorb::bench::ScratchDrive drive;
  std::string host;
};

const SettingsFile &File() {
  static const SettingsFile file;
  return file;
}

// What the peer's handler fills: "section\x1fname" to value, the names as
// inih gives them (a section keeps the blanks inside its brackets).
using Entries = std::unordered_map<std::string, std::string>;

int KeepEntry(void *user, const char *section, const char *name, const char *value) {
  auto &entries = *static_cast<Entries *>(user);
  entries.emplace(std::string(section) + '\x1f' + name, value);
  return 1;
}

void InihHashMap(benchmark::State &state) {
  const std::string &path = File().host;
  // The lookup keys, made once as a caller would keep them.
  std::vector<std::string> keys;
  for (int s = 1; s <= kSections; ++s) {
    for (const char *field : {"A", "B"}) {
      for (int k = 1; k <= kKeysPerField; ++k) {
        keys.push_back(" Cfg Section " + std::to_string(s) + " \x1f" + field + " " +
                       std::to_string(k));
      }
    }
  }
  for (auto _ : state) {
    Entries entries;
    if (ini_parse(path.c_str(), KeepEntry, &entries) != 0) state.SkipWithError("inih failed");
    Settings settings{};
    std::size_t next = 0;
    for (Section &section : settings.section) {
      for (int32_t *values : {section.a, section.b}) {
        for (int k = 0; k < kKeysPerField; ++k) {
          const auto found = entries.find(keys[next++]);
          if (found != entries.end()) {
            values[k] = static_cast<int32_t>(std::strtol(found->second.c_str(), nullptr, 10));
          }
        }
      }
    }
    if (settings.section[kSections - 1].b[kKeysPerField - 1] != kSections * 1000 + kKeysPerField) {
      state.SkipWithError("keys missed");
    }
    benchmark::DoNotOptimize(settings);
  }
}

void IniOpenRead(benchmark::State &state) {
  const std::string path = File().drive.PathName("settings.ini");
  for (auto _ : state) {
    IniFile *file = IniOpen(path.c_str(), INI_MODE_READ);
    Settings settings{};
    if (file == nullptr || IniRead(file, &settings, &kSettings) != 0) {
      state.SkipWithError("IniOpen or IniRead failed");
    }
    IniClose(file);
    if (settings.section[kSections - 1].b[kKeysPerField - 1] != kSections * 1000 + kKeysPerField) {
      state.SkipWithError("keys missed");
    }
    benchmark::DoNotOptimize(settings);
  }
}

}  // namespace

BENCHMARK(InihHashMap)->Name("ini/open_read_5000_keys/peer")->Unit(benchmark::kMillisecond);
BENCHMARK(IniOpenRead)->Name("ini/open_read_5000_keys/qorb")->Unit(benchmark::kMillisecond);
