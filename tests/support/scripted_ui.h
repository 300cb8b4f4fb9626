// Test doubles for the seams: a user interface that answers from a script and
// records every box, the machine's answers that the test sets, and a run
// context over both; the Restart Manager's list of a file's holders.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "common/machine_seams.h"
#include "handoff/held_package.h"
#include "lang/user_interface.h"
#include "update/run_context.h"

namespace lvm::test {

class ScriptedUserInterface {
public:
    // Answers given to the boxes in order (IDYES = 6, IDNO = 7, IDOK = 1).
    // A box with no scripted answer gets IDOK for an OK box and IDNO otherwise.
    void Answer(int button) { answers_.push_back(button); }

    int ShowMessageBox(const TMessageBoxRequest& request);
    TUserInterfaceSeams Seams() {
        return {[this](const TMessageBoxRequest& request) { return ShowMessageBox(request); }};
    }

    const std::vector<TMessageBoxRequest>& Shown() const { return shown_; }
    std::vector<std::string> Texts() const;

private:
    std::deque<int> answers_;
    std::vector<TMessageBoxRequest> shown_;
};

struct FixedMachine {
    TMachineSeams Seams() {
        return {[this] { return admin; }, [this] { return lcid; }, [this] { return stationVisible; }};
    }

    bool admin = true;
    uint32_t lcid = 1033;
    bool stationVisible = true;
};

// A run over the scripted seams: the default package's configuration as the
// build generates it, a command line without arguments, English unless asked
// for Russian, the 64-bit registry view. A test changes `config` and
// `options` between runs; the run reads them as it reads the entry's.
struct TestRun {
    explicit TestRun(bool russian = false);
    TestRun(const TestRun&) = delete;
    TestRun& operator=(const TestRun&) = delete;

    TMessenger Messenger() const { return run.Messenger(); }

    TPackageConfig config = PackageValues();
    TRunOptions options;
    ScriptedUserInterface ui;
    FixedMachine facts;
    TRunContext run;
};

// The Restart Manager, scripted (it is a stub under Wine): the holders it
// names (nullopt: it cannot say), and whom the code asked to close.
struct ScriptedRestartManager {
    TRestartManagerSeams Seams() {
        return {[this](const std::string& file) {
                    queried.push_back(file);
                    return holders;
                },
                [this](const std::vector<TFileHolder>& processes) {
                    for (const TFileHolder& p : processes) asked.push_back(p.processId);
                    return true;
                }};
    }
    std::optional<std::vector<TFileHolder>> holders;
    std::vector<std::string> queried;
    std::vector<uint32_t> asked;
};

}  // namespace lvm::test
