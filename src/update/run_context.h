// Everything one run of the installer works with: built once by the entry
// point, handed to the run and, piece by piece, to each operation.
#pragma once

#include <string>

#include "common/system_facts.h"
#include "environment/environment.h"
#include "environment/registry.h"
#include "lang/messages.h"
#include "lang/user_interface.h"
#include "update/command_line.h"
#include "update/package_config.h"
#include "update/run_log.h"

namespace lvm {

struct TRunContext {
    TRunContext(UserInterface& ui, SystemFacts& facts) : ui(ui), facts(facts) {}

    TPackageConfig PackageConfig;
    TEnvironmentRecord Environment;
    bool UseRussian = false;
    bool IsWin64 = false;
    // The command line with its options taken out, and its first argument,
    // ASCII capitals lowered.
    TCommandLine CommandLine;
    std::string StartSwitch;
    // Set by the run from StartSwitch before anything is asked.
    bool ModestMode = false;
    // The registry access every step uses: the 64-bit view on a 64-bit system.
    TRegistry SharedRegistry;
    // The account of the run that /log= asks for; closed: nothing is logged.
    TRunLog Log;

    UserInterface& ui;
    SystemFacts& facts;

    // Nobody is there to answer: /quiet, or a window station nobody sees (a
    // service, SYSTEM in session 0 under a deployment tool). Such a run shows
    // no window of any kind. Asked only when a window is about to be shown,
    // so that a run that shows nothing never loads the window system.
    bool Unattended() const { return CommandLine.quiet || !facts.WindowStationVisible(); }

    // Messages in the run's language under the package's captions (complete
    // the package configuration first).
    TMessenger Messenger() const {
        return TMessenger(ui, UseRussian,
                          {PackageConfig.CaptionEn, PackageConfig.CaptionRu, PackageConfig.FullTitle},
                          [this] { return Unattended(); }, [this](const std::string& line) { Log.Write(line); });
    }
};

}  // namespace lvm
