#include "lang/messages.h"

#include <cstring>
#include <utility>

namespace lvm {

namespace {

const TMessageText kMessages[] = {
    {Message::NoRegistryAccess, "No access to system registry", "Нет доступа к системному реестру",
     CaptionKind::Package, kErrorBoxStyle},
    {Message::NoRights, "You have no right to install applications!",
     "У Вас нет права устанавливать программы!", CaptionKind::Package, kErrorBoxStyle},
    {Message::NoSubjectOfUpdate,
     "There's no subject of update - the Lingvaro installed.\r\nPlease, install the program at first.",
     "Нет предмета обновления - установленной программы Lingvaro.\r\n"
     "Пожалуйста, сначала установите программу.",
     CaptionKind::Package, kErrorBoxStyle},
    {Message::SelfCheckUnreadable, "Failed to check up the package file!",
     "Не удаётся проверить файл пакета установки!", CaptionKind::Package, kErrorBoxStyle},
    {Message::SelfCheckDistorted, "The package file has been distorted!\r\nVirus?",
     "Файл пакета установки искажён!\r\nВирус?", CaptionKind::Package, kErrorBoxStyle},
    {Message::CantInstallFile, "Can't install file {1}", "Не удается установить файл {1}", CaptionKind::Package,
     kErrorBoxStyle},
    {Message::CantHandleLanguageFile, "Can't handle the language support file {1}",
     "Не удаётся работать с файлом языковой поддержки {1}", CaptionKind::Package, kErrorBoxStyle},
    {Message::UnhandledError, "{1}", "{1}", CaptionKind::Package, kErrorBoxStyle},
    {Message::AnotherInstallation, "Another installation of this package is in progress.\r\nPlease, try again later.",
     "Уже идёт другая установка этого пакета.\r\nПожалуйста, повторите попытку позже.", CaptionKind::Package,
     kErrorBoxStyle},
    {Message::Consent, "Would you like to setup\r\n{caption} -\r\n{title}?",
     "Вы действительно хотите установить\r\n{caption} -\r\n{title}?", CaptionKind::SoundQuestion,
     kQuestionBoxStyle},
    {Message::OlderVersion,
     "{1} file installing is of older version\r\nthan the same already installed.\r\n\r\n"
     "Do you really want to replace existing\r\nnew file version {2} with an older file version {3}?",
     "Устанавливаемый файл {1}\r\nболее старой версии, чем уже установленный.\r\n\r\n"
     "Действительно ли Вы хотите заменить уже имеющийся\r\nфайл версии {2} на более старый версии {3}?",
     CaptionKind::SoundQuestion, kQuestionBoxStyle},
    {Message::FileHeld,
     "The file {1}\r\nis in use by {2}.\r\n\r\n"
     "Try Again: install it now, once the program is closed.\r\n"
     "Continue: install it when the computer restarts.\r\n"
     "Cancel: keep the installed file as it is.",
     "Файл {1}\r\nзанят {2}.\r\n\r\n"
     "Повторить: установить его сейчас, закрыв программу.\r\n"
     "Продолжить: установить его при перезагрузке компьютера.\r\n"
     "Отмена: оставить установленный файл как есть.",
     CaptionKind::SoundQuestion, kHeldFileBoxStyle},
    // The closing question exists in Russian only, under the English caption.
    {Message::StartApp, nullptr,
     "На Ваш компьютер установлено\r\n{caption} -\r\n{title}\r\n\r\nЗапустить программу?",
     CaptionKind::PackageEnglish, kQuestionBoxStyle},
};

bool StartsWithAt(const std::string& text, size_t at, const char* part) {
    return text.compare(at, std::strlen(part), part) == 0;
}

// The question names this many holders, then says how many more there are.
constexpr size_t kHoldersNamed = 3;

}  // namespace

std::string HolderList(const std::vector<std::string>& names, bool russian) {
    if (names.empty()) return russian ? "другой программой" : "another program";
    // Russian puts the names after "программой"/"программами" (by the program(s)).
    std::string text = russian ? (names.size() == 1 ? "программой " : "программами ") : "";
    for (size_t i = 0; i < names.size() && i < kHoldersNamed; ++i) {
        if (i > 0) text += ", ";
        text += names[i];
    }
    if (names.size() > kHoldersNamed) {
        const std::string more = std::to_string(names.size() - kHoldersNamed);
        text += russian ? " и ещё " + more : " and " + more + " more";
    }
    return text;
}

const TMessageText& MessageText(Message id) {
    for (const TMessageText& row : kMessages) {
        if (row.id == id) return row;
    }
    return kMessages[0];  // every enumerator has its row: the table test checks it
}

std::string FillMessage(const std::string& pattern, const std::string& caption, const std::string& title,
                        const std::vector<std::string>& arguments) {
    std::string text;
    for (size_t i = 0; i < pattern.size();) {
        if (StartsWithAt(pattern, i, "{caption}")) {
            text += caption;
            i += std::strlen("{caption}");
        } else if (StartsWithAt(pattern, i, "{title}")) {
            text += title;
            i += std::strlen("{title}");
        } else if (i + 2 < pattern.size() && pattern[i] == '{' && pattern[i + 1] >= '1' &&
                   pattern[i + 1] <= '9' && pattern[i + 2] == '}') {
            const size_t index = static_cast<size_t>(pattern[i + 1] - '1');
            if (index < arguments.size()) text += arguments[index];
            i += 3;
        } else {
            text += pattern[i++];
        }
    }
    return text;
}

TMessenger::TMessenger(TUserInterfaceSeams ui, bool useRussian, TMessageValues values,
                       std::function<bool()> unattended, LogLine log)
    : ui_(std::move(ui)),
      useRussian_(useRussian),
      values_(std::move(values)),
      unattended_(std::move(unattended)),
      log_(std::move(log)) {}

void TMessenger::Log(const std::string& line) const {
    if (log_) log_(line);
}

void TMessenger::LogMessage(Message id, const std::vector<std::string>& englishArguments, bool shown) const {
    if (!log_) return;
    const TMessenger english(ui_, false, values_);
    const std::string text = english.Compose(id, englishArguments).text;
    log_(std::string(shown ? "message shown: " : "message not shown (nobody to answer): ") + text);
}

TMessageBoxRequest TMessenger::Compose(Message id, const std::vector<std::string>& arguments) const {
    const TMessageText& row = MessageText(id);
    const bool russian = useRussian_ || row.english == nullptr;
    const std::string& ownCaption = russian ? values_.captionRu : values_.captionEn;
    TMessageBoxRequest request;
    request.text = FillMessage(russian ? row.russian : row.english, ownCaption, values_.fullTitle, arguments);
    switch (row.caption) {
        case CaptionKind::Package: request.caption = ownCaption; break;
        case CaptionKind::SoundQuestion: request.caption = russian ? "Резонный вопрос" : "Sound question"; break;
        case CaptionKind::PackageEnglish: request.caption = values_.captionEn; break;
    }
    request.style = row.style;
    // Russian boxes ask for Russian buttons; English ones take the system's.
    request.languageId = russian ? kRussianLanguageId : 0;
    return request;
}

void TMessenger::Tell(Message id, const std::vector<std::string>& arguments) const {
    const bool shown = !Unattended();
    LogMessage(id, arguments, shown);
    if (shown) ui_.showMessageBox(Compose(id, arguments));
}

bool TMessenger::Ask(Message id, const std::vector<std::string>& arguments) const {
    const bool shown = !Unattended();
    LogMessage(id, arguments, shown);
    const bool yes = shown && ui_.showMessageBox(Compose(id, arguments)) == kAnswerYes;
    Log(std::string("answer: ") + (yes ? "Yes" : shown ? "No" : "No (the safe answer)"));
    return yes;
}

HeldAnswer TMessenger::AskWhenHeld(const std::string& file, const std::vector<std::string>& holders) const {
    const bool shown = !Unattended();
    LogMessage(Message::FileHeld, {file, HolderList(holders, false)}, shown);
    if (!shown) {
        Log("answer: Continue (nobody to answer: the file is replaced at the restart)");
        return HeldAnswer::FinishAtRestart;
    }
    const bool russian = useRussian_;
    switch (ui_.showMessageBox(Compose(Message::FileHeld, {file, HolderList(holders, russian)}))) {
        case kAnswerTryAgain:
            Log("answer: Try Again");
            return HeldAnswer::TryAgain;
        case kAnswerContinue:
            Log("answer: Continue");
            return HeldAnswer::FinishAtRestart;
        default:
            Log("answer: Cancel");
            return HeldAnswer::Cancel;
    }
}

}  // namespace lvm
