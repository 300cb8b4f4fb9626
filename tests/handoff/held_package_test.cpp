// The conversation about a package still held: who is named, in the log and
// in the question, and what each answer decides.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "handoff/held_package.h"
#include "lang/messages.h"
#include "support/scripted_ui.h"

namespace lvm {
namespace {

// A package still held after the tries: whoever the Restart Manager names is
// named in the log (with the process id) and in the question; nobody named
// is "another program"; a run nobody can answer finishes at the restart.
TEST(HeldPackageQuestion, HoldersOfAPackageStillHeldAreNamedAndTheAnswerDecides) {
    const TFileHolder agent{4242, 1, "C:\\Backup\\agent.exe", "Backup Agent"};
    const TFileHolder sync{4343, 1, "D:\\Sync\\sync.exe", ""};
    const TFileHolder unreadable{4444, 1, "", ""};
    struct Row {
        std::optional<std::vector<TFileHolder>> holders;
        bool unattended;
        int button;
        HeldAnswer answer;
        const char* named;  // in the question
        const char* logged;
    };
    const Row rows[] = {
        {std::vector<TFileHolder>{agent, sync, unreadable}, false, 10, HeldAnswer::TryAgain,
         "Backup Agent, sync.exe, process 4444",
         "held by: Backup Agent (process id 4242), sync.exe (process id 4343), process 4444 (process id 4444)"},
        {std::nullopt, false, 11, HeldAnswer::FinishAtRestart, "another program",
         "held by: another program (the Restart Manager names nobody)"},
        {std::vector<TFileHolder>{agent}, false, 0, HeldAnswer::Cancel, "Backup Agent",
         "held by: Backup Agent (process id 4242)"},  // no box could be shown
        {std::vector<TFileHolder>{agent}, true, 0, HeldAnswer::FinishAtRestart, "Backup Agent",
         "held by: Backup Agent (process id 4242)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.logged);
        test::ScriptedRestartManager restartManager;
        restartManager.holders = row.holders;
        test::ScriptedUserInterface ui;
        ui.Answer(row.button);
        std::vector<std::string> log;
        const TMessenger messages(ui.Seams(), false, {"Lingvaro update", "Обновление Lingvaro", "title"},
                                  [&] { return row.unattended; }, [&](const std::string& line) { log.push_back(line); });
        EXPECT_EQ(AnswerWhenPackageHeld(restartManager.Seams(), messages, "C:\\L\\lvm0.pak"), row.answer);
        const std::string text = std::string("The file C:\\L\\lvm0.pak\r\nis in use by ") + row.named + ".";
        ASSERT_EQ(ui.Shown().size(), row.unattended ? 0u : 1u);
        if (!row.unattended) {
            EXPECT_EQ(ui.Shown()[0].text.substr(0, text.size()), text);
        }
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[0], row.logged);
        EXPECT_EQ(log[1].substr(log[1].find(':') + 2, text.size()), text);
        EXPECT_TRUE(restartManager.asked.empty()) << "a holder was asked to close";
    }
}

}  // namespace
}  // namespace lvm
