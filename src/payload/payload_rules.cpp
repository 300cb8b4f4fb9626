#include "payload/payload_rules.h"

#include "payload/version_rules.h"

namespace lvm {

std::string TildeName(const std::string& path) {
    // The search starts at the second-to-last character: a path that ends in
    // a backslash names a folder, and "~" goes in front of that folder's name.
    if (path.size() >= 2) {
        const size_t slash = path.find_last_of('\\', path.size() - 2);
        if (slash != std::string::npos) return path.substr(0, slash + 1) + "~" + path.substr(slash + 1);
    }
    return "~" + path;
}

bool HasVersionRule(const std::string& kind) {
    return kind == "exe" || kind == "pak" || kind == "3bs" || kind == "lng" || kind == "cok";
}

bool ComparesLngVersions(const std::string& destination) {
    return destination.find('!') == std::string::npos;
}

bool IsExeVersionOlder(const std::string& newVersion, const std::string& installedVersion) {
    return !installedVersion.empty() && newVersion != installedVersion &&
           IsOlderVersion(newVersion, installedVersion);
}

QuestionText OlderVersionQuestion(bool russian, const std::string& destination,
                                  const std::string& installedVersion, const std::string& newVersion) {
    if (russian) {
        return {"Устанавливаемый файл " + destination + "\r\n" +
                    "более старой версии, чем уже установленный.\r\n\r\n" +
                    "Действительно ли Вы хотите заменить уже имеющийся\r\n" + "файл версии " +
                    installedVersion + " на более старый версии " + newVersion + "?",
                "Резонный вопрос"};
    }
    return {destination + " file installing is of older version\r\n" +
                "than the same already installed.\r\n\r\n" + "Do you really want to replace existing\r\n" +
                "new file version " + installedVersion + " with an older file version " + newVersion + "?",
            "Sound question"};
}

}  // namespace lvm
