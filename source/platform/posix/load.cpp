// load.cpp - the library's load entry on POSIX hosts.
//
// Windows sends a DLL a notification for each thread that starts or ends
// unless it opts out; the library has no per-thread work then. POSIX hosts
// send none, so the constructor has nothing to switch off: all state starts
// from its static initial values. It stays as the one place for load work.
namespace {

__attribute__((constructor)) void OnLibraryLoad() {}

}  // namespace
