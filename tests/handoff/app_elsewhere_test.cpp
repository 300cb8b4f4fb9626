// The application in other sessions: which holders of the package are asked
// to close and opened for the wait.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "common/scoped_handle.h"
#include "handoff/app_elsewhere.h"
#include "support/scripted_ui.h"

namespace lvm {
namespace {

// Of the holders the Restart Manager lists, only the application of the
// installation folder is asked to close, in any session; a foreign holder is
// never touched; a failure changes nothing.
TEST(AppElsewhere, OnlyTheApplicationOfTheFolderIsAskedAndOpenedForWaiting) {
    // This test process stands in for the application in another session: a
    // real process with a real start time, which the run must open for waiting.
    FILETIME created{}, exited{}, kernel{}, user{};
    ASSERT_TRUE(GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user));
    const uint64_t startTime = (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    const uint32_t self = GetCurrentProcessId();
    const std::string appExe = "C:\\Lingvaro\\Lingvaro.exe";
    const TFileHolder application{self, startTime, "c:\\LINGVARO\\lingvaro.exe", ""};
    const TFileHolder reusedId{self, startTime + 1, appExe, ""};  // the id now names another process
    const TFileHolder backup{4242, 1, "C:\\Backup\\agent.exe", "Backup Agent"};
    const TFileHolder otherCopy{4343, 1, "D:\\Old\\Lingvaro\\Lingvaro.exe", ""};
    const TFileHolder unreadable{4444, 1, "", ""};
    struct Row {
        std::optional<std::vector<TFileHolder>> holders;
        std::vector<uint32_t> asked;
        size_t opened;
    };
    const Row rows[] = {
        {std::vector<TFileHolder>{backup, application, otherCopy, unreadable}, {self}, 1},
        {std::vector<TFileHolder>{reusedId}, {self}, 0},
        {std::vector<TFileHolder>{backup, otherCopy}, {}, 0},
        {std::vector<TFileHolder>{}, {}, 0},
        {std::nullopt, {}, 0},  // the Restart Manager failed
    };
    for (const Row& row : rows) {
        test::ScriptedRestartManager restartManager;
        restartManager.holders = row.holders;
        const std::vector<ScopedHandle> opened =
            AskApplicationElsewhereToClose(restartManager.Seams(), "C:\\Lingvaro\\lvm0.pak", appExe);
        EXPECT_EQ(restartManager.queried, std::vector<std::string>{"C:\\Lingvaro\\lvm0.pak"});
        EXPECT_EQ(restartManager.asked, row.asked);
        EXPECT_EQ(opened.size(), row.opened);
    }
}

}  // namespace
}  // namespace lvm
