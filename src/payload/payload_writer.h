// Writes a resource of the executable to a file, replacing an installed file
// of the same kind only after a version comparison.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "lang/messages.h"
#include "payload/payload_files.h"
#include "payload/payload_rules.h"

namespace lvm {

// What a write came to; the user has been told of every failure already.
enum class PayloadOutcome {
    Written,          // the file at the destination holds the new data
    KeptNewer,        // the new file was older and the user kept the installed one
    KeptForRestart,   // the destination stays held: the new file replaces it at the next restart
    Cancelled,        // the destination stays held and the user cancelled: nothing changed
    Failed,           // "Can't install file ..." was shown
};

// The writer's calls into the progress window: it hides the window before the
// older-version question and shows it again afterwards.
struct TProgressSeams {
    std::function<void()> hide;
    std::function<void(const std::string& caption, const std::string& text)> show;
};

// The system's clock and sleep, for the tries of a held destination.
TRetrySeams SystemRetrySeams();

// What to do about a destination that another program still holds after the
// tries: asked with the destination's path.
using HeldFileDecision = std::function<HeldAnswer(const std::string& destination)>;

// What the writer works with besides its arguments.
struct TPayloadSeams {
    const TMessenger& messages;
    TProgressSeams progress;
    HMODULE resourceModule;  // whose resources are written: the executable's own in a run
    TStagingSeams staging{};
    TRetrySeams retry = SystemRetrySeams();
    // Null: a destination that stays held is a failed write.
    HeldFileDecision whenHeld;
    // Makes the name kept for the restart this run's own.
    std::string runTag;
};

// Writes resource `name` of type `kind` to `destination`. The data always go
// to a new file beside it, under TildeName(destination), which then takes the
// destination's name in one step. While another program holds the
// destination that step is tried again for a few seconds, and then
// `whenHeld` decides: try again, cancel, or keep the new file under
// RestartKeptName() to replace the destination at the next restart. For a
// kind that has a version rule, an installed file is first compared with the
// new file, and the user is asked before an older file replaces it.
PayloadOutcome WriteResourceToFile(const TPayloadSeams& services, const std::string& name,
                                   const std::string& kind, const std::string& destination);
// Writes resources name + "1" and name + "2", one after the other, to
// `destination` the same way, replacing it without any comparison.
PayloadOutcome WriteSplitResourceToFile(const TPayloadSeams& services, const std::string& name,
                                        const std::string& kind, const std::string& destination);

}  // namespace lvm
