// fork_handler.h - what a child process keeps of its parent's kernel objects.
#pragma once

namespace qorb::plat::posix {

// Registers the fork handlers once per process (cheap after the first call).
void InstallForkHandlers();

}  // namespace qorb::plat::posix
