#include <gtest/gtest.h>

#include "common/text.h"
#include "lang/lang.h"
#include "support/scripted_ui.h"
#include "update/package_config.h"

namespace lvm {
namespace {

TEST(LanguageChoice, SevenLocalesSelectRussianAndTheWholeIdentifierCounts) {
    for (uint32_t lcid : {1026u, 1049u, 1058u, 1059u, 1087u, 1092u, 2073u}) {
        EXPECT_TRUE(IsRussianLocale(lcid)) << lcid;
    }
    // English, German, the bare language id, and Russian with a non-default sort id.
    for (uint32_t lcid : {1033u, 1031u, 0u, 0x19u, 0x10419u, 0x10819u, 0x0819u + 0x100000u}) {
        EXPECT_FALSE(IsRussianLocale(lcid)) << lcid;
    }
}

TEST(CommandLineSplit, SplitsLikeTheRuntime) {
    struct Case {
        const char* line;
        std::vector<std::string> arguments;
    };
    const Case cases[] = {
        {"setup.exe", {"setup.exe"}},
        {"setup.exe modest runapp", {"setup.exe", "modest", "runapp"}},
        {"\"C:\\Program Files\\setup.exe\" MODEST", {"C:\\Program Files\\setup.exe", "MODEST"}},
        {"setup.exe \"two words\" x", {"setup.exe", "two words", "x"}},
        {"setup.exe mo\"de st\"x", {"setup.exe", "mode stx"}},
        {"setup.exe\tmodest\r\nrunapp  ", {"setup.exe", "modest", "runapp"}},
        {"setup.exe \"\" modest", {"setup.exe", "modest"}},
        {"setup.exe \"unterminated quote", {"setup.exe", "unterminated quote"}},
        {"", {}},
        {"   ", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitCommandLine(c.line), c.arguments) << c.line;
    }
}

TEST(CommandLineSplit, LoweringTouchesOnlyAsciiCapitals) {
    EXPECT_EQ(LowerAscii("MODEST"), "modest");
    EXPECT_EQ(LowerAscii("RunApp"), "runapp");
    // Cyrillic capitals and other bytes keep their case.
    EXPECT_EQ(LowerAscii("МODEST-Ä"), "Мodest-Ä");
    EXPECT_EQ(LowerAscii(""), "");
}

TEST(ErrorMessage, OneBoxInTheRunLanguageUnderItsCaption) {
    struct Case {
        bool russian;
        const char* text;
        const char* caption;
        unsigned short languageId;  // 0: MessageBoxW
    };
    const Case cases[] = {
        {false, "Something failed", "Lingvaro update", 0},
        {true, "Что-то не так", "Обновление Lingvaro", 0x0019},
    };
    CompletePackageConfig();
    for (const Case& c : cases) {
        test::ScriptedUserInterface ui;
        UseRussian = c.russian;
        ShowErrorMessage("Something failed", "Что-то не так");
        UseRussian = false;
        ASSERT_EQ(ui.Shown().size(), 1u) << c.russian;
        const MessageBoxRequest& box = ui.Shown()[0];
        EXPECT_EQ(box.text, c.text);
        EXPECT_EQ(box.caption, c.caption);
        EXPECT_EQ(box.style, 0x00200010u);
        EXPECT_EQ(box.languageId, c.languageId);
    }
}

TEST(PackageConfiguration, TitleAndCaptionsAreTheShippedTexts) {
    SetPackageValues();
    CompletePackageConfig();
    EXPECT_EQ(PackageConfig.FullTitle, "\"Звуковые комментарии к оценке 0\" версии 215");
    EXPECT_EQ(PackageFileName(), "lvm0.pak");
    EXPECT_EQ(PackageConfig.MainWindowClass, "TLVMainForm");
    EXPECT_EQ(PackageConfig.PackageVersion, 215);
}

}  // namespace
}  // namespace lvm
