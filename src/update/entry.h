// The process's whole life: start-up, the run, the last-resort report and shutdown.
#pragma once

namespace lvm {

// Returns the exit code.
int RunInstaller();

}  // namespace lvm
