// Everything one run of the installer works with: built once by the entry
// point, handed to the run and, piece by piece, to each operation. The package
// configuration and the command line's options are whole before the run and
// read-only in it; the rest is what the run finds out and keeps.
#pragma once

#include <string>
#include <utility>

#include "common/machine_seams.h"
#include "environment/environment.h"
#include "environment/registry.h"
#include "lang/messages.h"
#include "lang/user_interface.h"
#include "update/command_line.h"
#include "update/package_config.h"
#include "update/run_log.h"

namespace lvm {

struct TRunContext {
    TRunContext(const TPackageConfig& config, const TRunOptions& options, TUserInterfaceSeams userInterface,
                TMachineSeams machine)
        : PackageConfig(config), Options(options), UserInterface(std::move(userInterface)), Machine(std::move(machine)) {}

    const TPackageConfig& PackageConfig;
    const TRunOptions& Options;
    TEnvironmentRecord Environment;
    bool UseRussian = false;
    bool IsWin64 = false;
    // The registry access every step uses: the 64-bit view on a 64-bit system.
    TRegistry SharedRegistry;
    // The account of the run that /log= asks for; closed: nothing is logged.
    TRunLog Log;

    TUserInterfaceSeams UserInterface;
    TMachineSeams Machine;

    // Nobody is there to answer: /quiet, or a window station nobody sees (a
    // service, SYSTEM in session 0 under a deployment tool). Such a run shows
    // no window of any kind. Asked only when a window is about to be shown,
    // so that a run that shows nothing never loads the window system.
    bool Unattended() const { return Options.Quiet || !Machine.windowStationVisible(); }

    // Messages in the run's language under the package's captions.
    TMessenger Messenger() const {
        return TMessenger(UserInterface, UseRussian,
                          {PackageConfig.CaptionEn, PackageConfig.CaptionRu, PackageConfig.FullTitle},
                          [this] { return Unattended(); }, [this](const std::string& line) { Log.Write(line); });
    }
};

}  // namespace lvm
