// The run's messages: every box in both languages, the holders named, the
// placeholders filled.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lang/messages.h"
#include "support/scripted_ui.h"

namespace lvm {
namespace {

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
        // Telling shows exactly that box once; asking reads Yes as true, and
        // nothing else: No, OK, Cancel, or no box at all (0).
        t.ui.Answer(6);
        EXPECT_TRUE(t.Messenger().Ask(row.id, row.arguments));
        t.Messenger().Tell(row.id, row.arguments);
        ASSERT_EQ(t.ui.Shown().size(), 2u);
        EXPECT_EQ(t.ui.Shown()[1].text, expected);
        for (int notYes : {7, 1, 2, 0}) {
            t.ui.Answer(notYes);
            EXPECT_FALSE(t.Messenger().Ask(row.id, row.arguments)) << notYes;
        }
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

}  // namespace
}  // namespace lvm
