// Writes a resource of the executable to a file, replacing an installed file
// of the same kind only after a version comparison.
#pragma once

#include <windows.h>

#include <string>

#include "payload/payload_rules.h"

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

// Writes resource `name` of type `kind` to `destination`. With `checkExisting`
// and a kind that has a version rule, an installed file is first compared with
// the new data, written beside it under TildeName(destination), and the user
// is asked before an older file replaces it; the replace happens in one step.
PayloadOutcome WriteResourceToFile(const std::string& name, const std::string& kind,
                                   const std::string& destination, bool checkExisting);
// Writes resources name + "1" and name + "2", one after the other, to
// `destination`, overwriting it without any comparison.
PayloadOutcome WriteSplitResourceToFile(const std::string& name, const std::string& kind,
                                        const std::string& destination);

// The writer's calls into the progress window: it hides the window before the
// older-version question and shows it again afterwards.
class ProgressCalls {
public:
    virtual ~ProgressCalls() = default;
    virtual void Hide() = 0;
    virtual void Show(const std::string& caption, const std::string& text) = 0;
};
// nullptr restores the real progress window. The caller keeps ownership.
void SetProgressCalls(ProgressCalls* calls);

}  // namespace lvm
