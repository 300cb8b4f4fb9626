#include "update/command_line.h"

#include <windows.h>

#include "common/ascii.h"
#include "common/text.h"

namespace lvm {

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

TCommandLine ParseCommandLine(const std::vector<std::string>& split) {
    TCommandLine parsed;
    for (size_t i = 0; i < split.size(); ++i) {
        const std::string lowered = LowerAscii(split[i]);
        // The program itself is never an option.
        if (i >= 1 && lowered == "/quiet") {
            parsed.quiet = true;
        } else if (i >= 1 && lowered.rfind("/log=", 0) == 0) {
            parsed.logPath = split[i].substr(5);
        } else {
            parsed.arguments.push_back(split[i]);
        }
    }
    return parsed;
}

std::string LoweredArgument(const TCommandLine& commandLine, size_t index) {
    if (index >= commandLine.arguments.size()) return std::string();
    return LowerAscii(commandLine.arguments[index]);
}

TRunOptions ResolveRunOptions(const TCommandLine& commandLine) {
    TRunOptions options;
    options.StartSwitch = LoweredArgument(commandLine, 1);
    options.ModestMode = options.StartSwitch == "modest";
    options.RunApp = LoweredArgument(commandLine, 2) == "runapp";
    options.Quiet = commandLine.quiet;
    options.LogPath = commandLine.logPath;
    return options;
}

TRunOptions ProcessRunOptions() {
    const std::string text = Narrow(GetCommandLineW());
    TRunOptions options = ResolveRunOptions(ParseCommandLine(SplitCommandLine(text)));
    options.Text = text;
    return options;
}

}  // namespace lvm
