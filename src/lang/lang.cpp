#include "lang/lang.h"

#include <windows.h>

#include "common/system_facts.h"
#include "common/text.h"
#include "lang/user_interface.h"
#include "sysinfo/windows_version.h"
#include "update/package_config.h"

namespace lvm {

bool UseRussian = false;
std::string StartSwitch;
std::unique_ptr<TRegistry> SharedRegistry;

bool IsRussianLocale(uint32_t lcid) {
    switch (lcid) {
        case 1026:  // Bulgarian (Bulgaria)
        case 1049:  // Russian (Russia)
        case 1058:  // Ukrainian (Ukraine)
        case 1059:  // Belarusian (Belarus)
        case 1087:  // Kazakh (Kazakhstan)
        case 1092:  // Tatar (Russia)
        case 2073:  // Russian (Moldova)
            return true;
        default:
            return false;
    }
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> arguments;
    const auto isSeparator = [](unsigned char c) { return c != 0 && c <= ' '; };
    size_t i = 0;
    const size_t n = commandLine.size();
    for (;;) {
        // Blanks, control characters and empty "" pairs before an argument are skipped.
        for (;;) {
            while (i < n && isSeparator(static_cast<unsigned char>(commandLine[i]))) ++i;
            if (i + 1 < n && commandLine[i] == '"' && commandLine[i + 1] == '"') {
                i += 2;
            } else {
                break;
            }
        }
        if (i >= n || commandLine[i] == '\0') break;
        std::string argument;
        bool quoted = false;
        while (i < n && commandLine[i] != '\0') {
            const char c = commandLine[i];
            if (c == '"') {
                quoted = !quoted;
            } else if (!quoted && isSeparator(static_cast<unsigned char>(c))) {
                break;
            } else {
                argument += c;
            }
            ++i;
        }
        arguments.push_back(argument);
    }
    return arguments;
}

std::string LoweredArgument(size_t index) {
    const std::vector<std::string> arguments = SplitCommandLine(Narrow(GetCommandLineW()));
    if (index >= arguments.size()) return std::string();
    return LowerAscii(arguments[index]);
}

void CommonStartup() {
    UseRussian = IsRussianLocale(CurrentSystemFacts().UserDefaultLcid());

    // Only the 64-bit flag is wanted from the description.
    DescribeWindows(false);

    SharedRegistry = std::make_unique<TRegistry>(IsWin64 ? kRegistryAccess64 : kDefaultRegistryAccess);

    StartSwitch = LoweredArgument(1);
}

void CommonShutdown() { SharedRegistry.reset(); }

void ShowErrorMessage(const std::string& english, const std::string& russian) {
    // The box's result, a failure to show it included, does not concern the caller.
    if (UseRussian) {
        ShowRussianBox(russian, PackageConfig.CaptionRu, kErrorBoxStyle);
    } else {
        ShowEnglishBox(english, PackageConfig.CaptionEn, kErrorBoxStyle);
    }
}

}  // namespace lvm
