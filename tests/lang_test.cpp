#include <gtest/gtest.h>

#include "common/ascii.h"
#include "common/text.h"
#include "lang/lang.h"
#include "lang/messages.h"
#include "support/scripted_ui.h"
#include "update/command_line.h"
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

// Options come anywhere after the program's name, in any letter case, and
// are taken out before the positional arguments are counted.
TEST(CommandLineOptions, TakenOutWhereverTheyStand) {
    struct Row {
        std::vector<std::string> split;
        std::vector<std::string> arguments;
        bool quiet;
        std::string log;
    };
    const Row rows[] = {
        {{"setup.exe", "modest", "runapp"}, {"setup.exe", "modest", "runapp"}, false, ""},
        {{"setup.exe", "modest", "/quiet", "runapp"}, {"setup.exe", "modest", "runapp"}, true, ""},
        {{"setup.exe", "modest", "runapp", "/QUIET"}, {"setup.exe", "modest", "runapp"}, true, ""},
        {{"setup.exe", "modest", "/Log=C:\\Logs\\x y.log", "runapp"},
         {"setup.exe", "modest", "runapp"}, false, "C:\\Logs\\x y.log"},
        {{"setup.exe", "modest", "runapp", "/LOG=C:\\a.log", "/Quiet"},
         {"setup.exe", "modest", "runapp"}, true, "C:\\a.log"},
        // Before the switch too: "/quiet" alone is a run without arguments.
        {{"setup.exe", "/quiet"}, {"setup.exe"}, true, ""},
        {{"setup.exe", "/log=x", "modest"}, {"setup.exe", "modest"}, false, "x"},
        // An unknown option stays an argument.
        {{"setup.exe", "modest", "/quietly"}, {"setup.exe", "modest", "/quietly"}, false, ""},
        {{"setup.exe", "modest", "/log="}, {"setup.exe", "modest"}, false, ""},
        {{"setup.exe"}, {"setup.exe"}, false, ""},
    };
    for (const Row& row : rows) {
        const TCommandLine parsed = ParseCommandLine(row.split);
        SCOPED_TRACE(row.split.size() > 1 ? row.split[1] : "-");
        EXPECT_EQ(parsed.arguments, row.arguments);
        EXPECT_EQ(parsed.quiet, row.quiet);
        EXPECT_EQ(parsed.logPath, row.log);
    }
    const TCommandLine mixed = ParseCommandLine({"setup.exe", "MODEST", "/log=x", "RunApp"});
    EXPECT_EQ(LoweredArgument(mixed, 1), "modest");
    EXPECT_EQ(LoweredArgument(mixed, 2), "runapp");
    EXPECT_EQ(LoweredArgument(mixed, 3), "");
}

TEST(CommandLineSplit, LoweringTouchesOnlyAsciiCapitals) {
    EXPECT_EQ(LowerAscii("MODEST"), "modest");
    EXPECT_EQ(LowerAscii("RunApp"), "runapp");
    // Cyrillic capitals and other bytes keep their case.
    EXPECT_EQ(LowerAscii("МODEST-Ä"), "Мodest-Ä");
    EXPECT_EQ(LowerAscii(""), "");
}

// Every box of the run as it is shown: exact text, caption, style and whether
// it asks for Russian buttons (MessageBoxExW with 0x0019) or takes the system's.
TEST(Messages, EveryBoxInBothLanguagesUnderItsCaption) {
    struct Row {
        Message id;
        bool russian;
        std::vector<std::string> arguments;
        const char* text;
        const char* caption;
        unsigned style;
        unsigned short languageId;
    };
    const std::string title = "\"Звуковые комментарии к оценке 0\" версии 215";
    const Row rows[] = {
        {Message::NoRights, false, {}, "You have no right to install applications!", "Lingvaro update",
         0x00200010, 0},
        {Message::NoRights, true, {}, "У Вас нет права устанавливать программы!", "Обновление Lingvaro",
         0x00200010, 0x0019},
        {Message::NoRegistryAccess, false, {}, "No access to system registry", "Lingvaro update", 0x00200010, 0},
        {Message::SelfCheckDistorted, true, {}, "Файл пакета установки искажён!\r\nВирус?", "Обновление Lingvaro",
         0x00200010, 0x0019},
        {Message::CantInstallFile, false, {"C:\\L\\lvm0.pak"}, "Can't install file C:\\L\\lvm0.pak",
         "Lingvaro update", 0x00200010, 0},
        {Message::CantInstallFile, true, {"C:\\L\\lvm0.pak"}, "Не удается установить файл C:\\L\\lvm0.pak",
         "Обновление Lingvaro", 0x00200010, 0x0019},
        {Message::UnhandledError, false, {"Failed to set data for 'EstimatedSize'"},
         "Failed to set data for 'EstimatedSize'", "Lingvaro update", 0x00200010, 0},
        {Message::Consent, false, {}, "Would you like to setup\r\nLingvaro update -\r\n", "Sound question",
         0x00042024, 0},
        {Message::Consent, true, {}, "Вы действительно хотите установить\r\nОбновление Lingvaro -\r\n",
         "Резонный вопрос", 0x00042024, 0x0019},
        {Message::OlderVersion, false, {"C:\\A\\lvm0.pak", "216", "215"},
         "C:\\A\\lvm0.pak file installing is of older version\r\nthan the same already installed.\r\n\r\n"
         "Do you really want to replace existing\r\nnew file version 216 with an older file version 215?",
         "Sound question", 0x00042024, 0},
        {Message::OlderVersion, true, {"C:\\A\\lvm0.pak", "216", "215"},
         "Устанавливаемый файл C:\\A\\lvm0.pak\r\nболее старой версии, чем уже установленный.\r\n\r\n"
         "Действительно ли Вы хотите заменить уже имеющийся\r\nфайл версии 216 на более старый версии 215?",
         "Резонный вопрос", 0x00042024, 0x0019},
        {Message::FileHeld, true, {"C:\\A\\lvm0.pak", "другой программой"},
         "Файл C:\\A\\lvm0.pak\r\nзанят другой программой.\r\n\r\n"
         "Повторить: установить его сейчас, закрыв программу.\r\n"
         "Продолжить: установить его при перезагрузке компьютера.\r\n"
         "Отмена: оставить установленный файл как есть.",
         "Резонный вопрос", 0x00042036, 0x0019},
        // Russian only, under the English caption, whatever the run's language.
        {Message::StartApp, false, {}, "На Ваш компьютер установлено\r\nОбновление Lingvaro -\r\n",
         "Lingvaro update", 0x00042024, 0x0019},
    };
    for (const Row& row : rows) {
        test::TestRun t(row.russian);
        const TMessageBoxRequest box = t.Messenger().Compose(row.id, row.arguments);
        SCOPED_TRACE(box.text);
        std::string expected = row.text;
        if (row.id == Message::Consent) expected += title + "?";
        if (row.id == Message::StartApp) expected += title + "\r\n\r\nЗапустить программу?";
        EXPECT_EQ(box.text, expected);
        EXPECT_EQ(box.caption, row.caption);
        EXPECT_EQ(box.style, row.style);
        EXPECT_EQ(box.languageId, row.languageId);
        // Telling shows exactly that box once; asking reads Yes as true.
        t.ui.Answer(6);
        EXPECT_TRUE(t.Messenger().Ask(row.id, row.arguments));
        t.Messenger().Tell(row.id, row.arguments);
        ASSERT_EQ(t.ui.Shown().size(), 2u);
        EXPECT_EQ(t.ui.Shown()[1].text, expected);
    }
}

// The holders as the question about a held file names them.
TEST(Messages, HoldersAreNamedUpToThreeThenCounted) {
    struct Row {
        std::vector<std::string> names;
        const char* english;
        const char* russian;
    };
    const Row rows[] = {
        {{}, "another program", "другой программой"},
        {{"Backup Agent"}, "Backup Agent", "программой Backup Agent"},
        {{"a.exe", "b.exe", "c.exe"}, "a.exe, b.exe, c.exe", "программами a.exe, b.exe, c.exe"},
        {{"a.exe", "b.exe", "c.exe", "d.exe", "e.exe"}, "a.exe, b.exe, c.exe and 2 more",
         "программами a.exe, b.exe, c.exe и ещё 2"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(HolderList(row.names, false), row.english);
        EXPECT_EQ(HolderList(row.names, true), row.russian);
    }
}

// Values are put in once: a path that happens to contain a placeholder is
// shown as it is.
TEST(Messages, ValuesAreNeverReadForPlaceholders) {
    EXPECT_EQ(FillMessage("{1} / {2}", "cap", "tit", {"C:\\{2}\\{caption}", "x"}), "C:\\{2}\\{caption} / x");
    EXPECT_EQ(FillMessage("{caption}: {title} {3}", "cap", "tit", {"a"}), "cap: tit ");
    EXPECT_EQ(FillMessage("{", "c", "t", {}), "{");
    EXPECT_EQ(FillMessage("{9", "c", "t", {}), "{9");
}

TEST(PackageConfiguration, TitleAndCaptionsAreTheShippedTexts) {
    const TPackageConfig config = PackageValues();
    EXPECT_EQ(config.FullTitle, "\"Звуковые комментарии к оценке 0\" версии 215");
    EXPECT_EQ(config.PackageFileName, "lvm0.pak");
    EXPECT_EQ(config.MainWindowClass, "TLVMainForm");
    EXPECT_EQ(config.PackageVersion, 215);
    EXPECT_EQ(config.PackageVersionText, "215");
    EXPECT_EQ(config.CaptionEn, "Lingvaro update");
    EXPECT_EQ(config.CaptionRu, "Обновление Lingvaro");
    EXPECT_EQ(config.ProductShortName, "Lingvaro");
    EXPECT_EQ(config.ApplicationExecutable, "Lingvaro.exe");
    EXPECT_FALSE(config.SplitPackage);
}

}  // namespace
}  // namespace lvm
