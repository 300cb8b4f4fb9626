// What the process sets up before anything else runs.
#pragma once

namespace lvm {

// DLL search limited to the system folder, termination on heap corruption,
// and no system error dialogs for missing drives.
void HardenProcess();

}  // namespace lvm
