// The account a run appends to its /log= file, and the messages it records.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "lang/messages.h"
#include "support/expected_texts.h"
#include "support/scripted_ui.h"
#include "support/test_files.h"
#include "update/run_log.h"

namespace lvm {
namespace {

// Every run appends, never truncates; what cannot be opened, or is not a
// plain file of one name, is never written and never stops anything.
TEST(RunLog, AppendsAccountsAndWritesNothingWhereItMayNot) {
    test::TempFolder folder;
    const std::string path = folder / "deploy.log";
    for (const char* account : {"first run", "second run"}) {
        TRunLog log;
        log.Open(path);
        ASSERT_TRUE(log.IsOpen());
        log.Write(account);
        // A deployment tool may read it meanwhile.
        EXPECT_NE(folder.ReadFile("deploy.log").find(account), std::string::npos);
    }
    EXPECT_EQ(folder.ReadFile("deploy.log"), "first run\r\nsecond run\r\n");

    // A hard link to a file elsewhere is refused and left as it was.
    folder.WriteFile("elsewhere.ini", "system settings");
    ASSERT_TRUE(CreateHardLinkW(Widen(folder / "linked.log").c_str(), Widen(folder / "elsewhere.ini").c_str(),
                                nullptr));
    for (const std::string& refused : {folder / "linked.log", folder / "missing\\deploy.log", folder.Path(),
                                       std::string()}) {
        TRunLog log;
        log.Open(refused);
        EXPECT_FALSE(log.IsOpen()) << refused;
        log.Write("never written");
    }
    EXPECT_EQ(folder.ReadFile("elsewhere.ini"), "system settings");
    EXPECT_FALSE(folder.Exists("missing"));
}

// The log takes every message in English, shown or not, with the answer.
TEST(RunLog, MessagesAreLoggedInEnglishWithTheirAnswers) {
    struct Row {
        bool russian;
        bool unattended;
        Message id;
        int answer;
        std::vector<std::string> lines;
    };
    const std::string startQuestion = test::texts::kStartQuestion;
    const Row rows[] = {
        {true, false, Message::Consent, 6,
         {std::string("message shown: ") + test::texts::kConsentEn, "answer: Yes"}},
        {false, false, Message::Consent, 7, {std::string("message shown: ") + test::texts::kConsentEn, "answer: No"}},
        {false, true, Message::Consent, 6,
         {std::string("message not shown (nobody to answer): ") + test::texts::kConsentEn,
          "answer: No (the safe answer)"}},
        // Only in Russian: logged as it is.
        {false, false, Message::StartApp, 6, {"message shown: " + startQuestion, "answer: Yes"}},
        {true, true, Message::NoRights, 1,
         {std::string("message not shown (nobody to answer): ") + test::texts::kNoRightsEn}},
    };
    for (const Row& row : rows) {
        test::TestRun t(row.russian);
        std::vector<std::string> lines;
        const TMessenger messages(
            t.ui.Seams(), row.russian, {test::texts::kCaptionEn, test::texts::kCaptionRu, test::texts::kFullTitle},
            [&row] { return row.unattended; }, [&lines](const std::string& line) { lines.push_back(line); });
        t.ui.Answer(row.answer);
        if (row.id == Message::NoRights) {
            messages.Tell(row.id);
        } else {
            EXPECT_EQ(messages.Ask(row.id), row.answer == 6 && !row.unattended);
        }
        EXPECT_EQ(lines, row.lines);
        EXPECT_EQ(t.ui.Shown().size(), row.unattended ? 0u : 1u);
    }
}

}  // namespace
}  // namespace lvm
