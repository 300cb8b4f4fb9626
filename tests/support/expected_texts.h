// The installer's texts as a user sees them, written out once for the unit
// tests and the whole-executable tests alike (UTF-8; the latter widen them).
// They are the tests' own literals: never built from the product's table.
#pragma once

namespace lvm::test::texts {

#define LVM_FULL_TITLE "\"Звуковые комментарии к оценке 0\" версии 215"

constexpr char kFullTitle[] = LVM_FULL_TITLE;
constexpr char kCaptionEn[] = "Lingvaro update";
constexpr char kCaptionRu[] = "Обновление Lingvaro";
constexpr char kSoundQuestionEn[] = "Sound question";
constexpr char kSoundQuestionRu[] = "Резонный вопрос";

constexpr char kConsentEn[] = "Would you like to setup\r\nLingvaro update -\r\n" LVM_FULL_TITLE "?";
constexpr char kConsentRu[] = "Вы действительно хотите установить\r\nОбновление Lingvaro -\r\n" LVM_FULL_TITLE "?";
constexpr char kStartQuestion[] =
    "На Ваш компьютер установлено\r\nОбновление Lingvaro -\r\n" LVM_FULL_TITLE "\r\n\r\nЗапустить программу?";
constexpr char kNoSubjectEn[] =
    "There's no subject of update - the Lingvaro installed.\r\nPlease, install the program at first.";
constexpr char kNoRightsEn[] = "You have no right to install applications!";
constexpr char kNoRightsRu[] = "У Вас нет права устанавливать программы!";
constexpr char kDistortedEn[] = "The package file has been distorted!\r\nVirus?";
constexpr char kCantInstallFileEn[] = "Can't install file ";  // + the destination
constexpr char kCantInstallFileRu[] = "Не удается установить файл ";

#undef LVM_FULL_TITLE

}  // namespace lvm::test::texts
