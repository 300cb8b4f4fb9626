// Every message and question of the run, in one table, behind one way to tell
// and one way to ask. The texts are the installer's own, byte for byte.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "lang/user_interface.h"

namespace lvm {

enum class Message {
    NoRegistryAccess,
    NoRights,
    NoSubjectOfUpdate,
    SelfCheckUnreadable,
    SelfCheckDistorted,
    CantInstallFile,         // {1}: the destination
    CantHandleLanguageFile,  // {1}: the file
    UnhandledError,          // {1}: what went wrong
    AnotherInstallation,
    Consent,
    OlderVersion,            // {1}: the destination, {2}: installed version, {3}: new version
    FileHeld,                // {1}: the file, {2}: who holds it (HolderList)
    StartApp,
};

// The answers to the question about a file that other programs hold.
enum class HeldAnswer {
    TryAgain,         // look again, and ask again while it is still held
    FinishAtRestart,  // Continue: the file is replaced at the next restart
    Cancel,           // nothing changes
};

// Who holds a file, as the question names them in the text's language: up
// to three names and then how many more, or "another program" when nobody
// was named.
std::string HolderList(const std::vector<std::string>& names, bool russian);

// Which caption a message is shown under.
enum class CaptionKind {
    Package,          // the package caption in the run's language
    SoundQuestion,    // "Sound question" / "Резонный вопрос"
    PackageEnglish,   // the English package caption, whatever the language
};

// One row of the table. In the texts, {caption} is the package caption in the
// text's language, {title} the full title, and {1} to {3} the arguments.
struct TMessageText {
    Message id;
    const char* english;  // null: the message exists in Russian only
    const char* russian;
    CaptionKind caption;
    unsigned style;
};

const TMessageText& MessageText(Message id);

// What the texts refer to: the package captions and the full title.
struct TMessageValues {
    std::string captionEn;
    std::string captionRu;
    std::string fullTitle;
};

// Replaces {caption}, {title} and {1} to {9} in one pass: text that came in
// through a value is never read again for placeholders.
std::string FillMessage(const std::string& pattern, const std::string& caption, const std::string& title,
                        const std::vector<std::string>& arguments);

class TMessenger {
public:
    using LogLine = std::function<void(const std::string& line)>;

    // `unattended` says, when a box is about to be shown, whether anybody is
    // there to answer it (null: somebody always is); `log` receives every
    // message in English, shown or not, and the answer (null: no log).
    TMessenger(TUserInterfaceSeams ui, bool useRussian, TMessageValues values,
               std::function<bool()> unattended = nullptr, LogLine log = nullptr);

    // The box exactly as it is shown: text, caption, style and language.
    TMessageBoxRequest Compose(Message id, const std::vector<std::string>& arguments = {}) const;
    // Shows a message; whether it could be shown does not concern the caller.
    // Unattended, nothing is shown.
    void Tell(Message id, const std::vector<std::string>& arguments = {}) const;
    // Asks a question: true for Yes. Unattended, nothing is shown and the
    // answer is the safe one, No.
    bool Ask(Message id, const std::vector<std::string>& arguments = {}) const;
    // Asks what to do about `file`, which the programs named hold (Try Again,
    // Continue, Cancel). Unattended, nothing is shown and the answer is the
    // one that needs nobody: finish at the next restart. A box that could not
    // be shown counts as Cancel.
    HeldAnswer AskWhenHeld(const std::string& file, const std::vector<std::string>& holders) const;

    bool UseRussian() const { return useRussian_; }
    // A line for the run's log, when there is one.
    void Log(const std::string& line) const;

private:
    bool Unattended() const { return unattended_ && unattended_(); }
    // The message as the log records it: its English text (the Russian one
    // for a message that exists in Russian only), and whether it was shown.
    void LogMessage(Message id, const std::vector<std::string>& englishArguments, bool shown) const;

    TUserInterfaceSeams ui_;
    bool useRussian_;
    TMessageValues values_;
    std::function<bool()> unattended_;
    LogLine log_;
};

}  // namespace lvm
