// The held-package conversation: who holds the installed package (the
// Restart Manager's list of holders), the question to the user, and the
// answer. The payload writer reaches it through its `whenHeld` seam; the
// hand-off asks the holders that are the application to close
// (app_elsewhere.h).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "lang/messages.h"

namespace lvm {

struct TFileHolder {
    uint32_t processId = 0;
    uint64_t startTime = 0;  // the process's creation time (FILETIME), telling a reused id apart
    std::string exePath;     // empty when it could not be read
    std::string appName;     // what the Restart Manager calls it; may be empty
};

// A process's creation time as TFileHolder::startTime holds it.
uint64_t FiletimeNumber(const FILETIME& time);

// A holder as a person knows it: the Restart Manager's name for it, else its
// executable's file name, else "process <id>".
std::string HolderName(const TFileHolder& holder);

// The Restart Manager as far as the run uses it. The system's is a stub under
// Wine, so tests give a scripted one.
struct TRestartManagerSeams {
    // The processes that hold `file`; nullopt when the Restart Manager failed.
    std::function<std::optional<std::vector<TFileHolder>>(const std::string& file)> holdersOf;
    // Asks these processes to close, without force; false when it could not.
    std::function<bool(const std::vector<TFileHolder>& processes)> askToClose;
};

// rstrtmgr.dll, loaded from the system folder at each call.
TRestartManagerSeams SystemRestartManagerSeams();

// What to do about the package that other programs still hold: the Restart
// Manager names them (Wine's names nobody), the log gets their names and
// process ids, and the user is asked (unattended: finish at the restart).
HeldAnswer AnswerWhenPackageHeld(const TRestartManagerSeams& restartManager, const TMessenger& messages,
                                 const std::string& package);

}  // namespace lvm
