// settings.cpp - ErrInitialize and the library-wide settings it selects:
// the mode, the default task name, each mode's arguments, the verbosity
// mask, and the memory, panic and error-table mutexes.
//
// Relies on SemCreateMutex for the mutexes. ErrInitialize runs once, early,
// on one thread; a later call switches the channel and leaves the settings
// of other modes as they were.
#include <atomic>
#include <cstdio>

#include "error/error_private.h"
#include "error_internal.h"

namespace qorb::err {

namespace {

std::atomic<std::uint32_t> g_mode{ERR_MODE_TABLE};
std::atomic<const char *> g_defaultTask{"Unknown"};
std::atomic<ErrSinkFunction> g_sinkFunction{nullptr};
std::atomic<std::uintptr_t> g_sinkA{0};
std::atomic<std::uintptr_t> g_sinkB{0};
std::atomic<std::uintptr_t> g_sinkC{0};
std::atomic<std::uintptr_t> g_anchor{0};
std::atomic<ErrMessageBoxHook> g_messageBoxHook{nullptr};
std::atomic<ErrReportCallback> g_reportCallback{nullptr};
std::atomic<std::uint32_t> g_verbosity{0};

SemMutexHandle g_memoryMutex = 0;
SemMutexHandle g_tableMutex = 0;
SemMutexHandle g_panicMutex = 0;

constexpr auto kRelaxed = std::memory_order_relaxed;

// Creates the mutex in *handle unless it exists; the code of a failed
// creation, else 0.
std::uint32_t EnsureMutex(SemMutexHandle &handle) {
  if (handle != 0) return 0;
  SemMutexHandle created = 0;
  const std::uint32_t rc = SemCreateMutex(&created, nullptr, 0, 0);
  if (rc == 0) handle = created;
  return rc;
}

// The words of ErrInitialize carry the caller's functions as plain values.
template <typename Function>
Function AsFunction(std::uintptr_t word) {
  return reinterpret_cast<Function>(word);  // NOLINT(performance-no-int-to-ptr)
}

// Stores the arguments of the mode; false for a mode outside 1 to 6.
bool StoreModeArguments(std::uint32_t mode, std::uintptr_t a, std::uintptr_t b, std::uintptr_t c,
                        std::uintptr_t d) {
  switch (mode) {
    case ERR_MODE_SINK:
      g_sinkA.store(a, kRelaxed);
      g_sinkB.store(b, kRelaxed);
      g_sinkC.store(c, kRelaxed);
      g_sinkFunction.store(AsFunction<ErrSinkFunction>(d), kRelaxed);
      return true;
    case ERR_MODE_TABLE:
      g_anchor.store(a, kRelaxed);
      g_messageBoxHook.store(AsFunction<ErrMessageBoxHook>(b), kRelaxed);
      return true;
    case ERR_MODE_CALLBACK:
      g_reportCallback.store(AsFunction<ErrReportCallback>(a), kRelaxed);
      return true;
    case ERR_MODE_CONSOLE:
    case ERR_MODE_BOTH:
    case ERR_MODE_LOG:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::uint32_t Mode() {
  return g_mode.load(kRelaxed);
}
const char *DefaultTask() {
  return g_defaultTask.load(kRelaxed);
}
SinkSettings Sink() {
  return {g_sinkFunction.load(kRelaxed), g_sinkA.load(kRelaxed), g_sinkB.load(kRelaxed),
          g_sinkC.load(kRelaxed)};
}
ErrMessageBoxHook MessageBoxHook() {
  return g_messageBoxHook.load(kRelaxed);
}
ErrReportCallback ReportCallback() {
  return g_reportCallback.load(kRelaxed);
}
SemMutexHandle &TableMutex() {
  return g_tableMutex;
}
SemMutexHandle &PanicMutex() {
  return g_panicMutex;
}
SemMutexHandle &MemoryMutex() {
  return g_memoryMutex;
}
std::uint32_t Verbosity() {
  return g_verbosity.load(kRelaxed);
}

std::uint32_t Initialize(std::uint32_t mode, const char *task, std::uintptr_t a, std::uintptr_t b,
                         std::uintptr_t c, std::uintptr_t d) {
  // A repeated call keeps the memory mutex: other threads may be inside the
  // allocator, holding or waiting for it, while the channel is switched.
  if (const std::uint32_t rc = EnsureMutex(g_memoryMutex); rc != 0) {
    std::printf("Error creating Memory mutex sem %ld\n", static_cast<long>(rc));
  }
  g_mode.store(mode, kRelaxed);
  if (task != nullptr) g_defaultTask.store(task, kRelaxed);
  if (!StoreModeArguments(mode, a, b, c, d)) {
    std::printf("Unrecognized error type\n");
    return 0;
  }
  if (mode == ERR_MODE_TABLE && EnsureMutex(g_tableMutex) != 0) return 0;
  if (EnsureMutex(g_panicMutex) != 0) return 0;
  return 1;
}

}  // namespace qorb::err

extern "C" {

QORB_API std::uint32_t ErrInitialize(std::uint32_t mode, const char *task, std::uintptr_t a,
                                     std::uintptr_t b, std::uintptr_t c, std::uintptr_t d) {
  return qorb::err::Initialize(mode, task, a, b, c, d);
}

QORB_API void BaseSetVerbosity(std::uint32_t mask) {
  qorb::err::g_verbosity.store(mask, qorb::err::kRelaxed);
}

QORB_API std::uintptr_t ErrGetHAB(void) {
  return qorb::err::g_anchor.load(qorb::err::kRelaxed);
}

}  // extern "C"
