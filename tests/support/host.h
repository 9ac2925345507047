// host.h - asks the host what this test process may do, so that a test
// needing a right skips with the reason instead of guessing from its user id.
#pragma once

namespace qorb::test {

// Whether a thread of this process may raise its priority again after
// lowering it (root with CAP_SYS_NICE, or an RLIMIT_NICE allowance). Probed
// on a thread of its own, so the caller's priority is untouched.
bool HostLetsThreadsRaisePriority();

// Whether this Windows program runs under Wine rather than on Windows itself
// (always false on POSIX), for the few things Wine does not do as Windows
// does.
bool RunningUnderWine();

// Whether this process may change its user and group ids (CAP_SETUID and
// CAP_SETGID), as tests that play another user need.
bool HostLetsProcessChangeUser();

// In a child process: becomes the unprivileged user "nobody"; false when
// the host refuses.
bool BecomeNobody();

// Whether DropPriorityRights can leave this process unable to raise a
// thread's priority: it has no CAP_SYS_NICE, or it may change its user.
bool HostCanDropPriorityRights();

// In a child process: gives up the right to raise priorities (no nice
// allowance, and the unprivileged user "nobody" where the process may change
// its user). False when a step fails.
bool DropPriorityRights();

}  // namespace qorb::test
