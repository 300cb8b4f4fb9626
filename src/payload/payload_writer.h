// Writes a resource of the executable to a file, replacing an installed file
// of the same kind only after a version comparison.
#pragma once

#include <windows.h>

#include <string>

namespace lvm {

// What a write came to; the user has been told of every failure already.
enum class PayloadOutcome {
    Written,      // the file at the destination holds the new data
    KeptNewer,    // the new file was older and the user kept the installed one
    Failed,       // "Can't install file ..." was shown
};

// Module whose resources are written (the executable's own by default).
// Tests point it at a module with test resources.
void SetResourceModule(HMODULE module);
HMODULE ResourceModule();

PayloadOutcome WriteResourceToFile(const std::string& name, const std::string& kind,
                                   const std::string& destination, bool checkExisting);
PayloadOutcome WriteSplitResourceToFile(const std::string& name, const std::string& kind,
                                        const std::string& destination);

// The destination with "~" put in front of its file name.
std::string TildeName(const std::string& path);

}  // namespace lvm
