// lvm-run: starts a program, shows each message box it opens (caption and
// text), answers them from --answers=yes,no,ok,... (or leaves them to a
// person with --manual) and prints the program's full exit code, which the
// status Wine hands back to Linux would cut to its low byte.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "box_driver.h"

namespace {

std::vector<int> ParseAnswers(const std::wstring& list) {
    std::vector<int> answers;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = list.find(L',', start);
        const std::wstring word = list.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
        if (word == L"yes") answers.push_back(IDYES);
        else if (word == L"no") answers.push_back(IDNO);
        else if (word == L"ok") answers.push_back(IDOK);
        else if (word == L"hand") answers.push_back(0);  // left to a person
        if (comma == std::wstring::npos) break;
        start = comma + 1;
    }
    return answers;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    lvm::driver::RunOptions options;
    int i = 1;
    for (; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg.rfind(L"--answers=", 0) == 0) {
            options.answers = ParseAnswers(arg.substr(10));
        } else if (arg == L"--manual") {
            options.answerBoxes = false;
            options.timeoutMs = 600000;
        } else {
            break;
        }
    }
    if (i >= argc) {
        std::fprintf(stderr, "usage: lvm-run [--answers=yes,no,ok,hand,...] [--manual] PROGRAM [ARGS...]\n");
        return 2;
    }
    options.program = argv[i++];
    for (; i < argc; ++i) {
        if (!options.arguments.empty()) options.arguments += L" ";
        options.arguments += argv[i];
    }
    const lvm::driver::RunResult result = lvm::driver::RunProgram(options);
    if (!result.started) {
        std::fprintf(stderr, "lvm-run: cannot start the program (error %lu)\n", GetLastError());
        return 2;
    }
    for (const auto& box : result.boxes) {
        std::printf("message box \"%s\":\n  %s\n  -> %s\n", lvm::driver::ToUtf8(box.caption).c_str(),
                    lvm::driver::ToUtf8(box.text).c_str(),
                    box.answer == IDYES ? "Yes" : box.answer == IDNO ? "No" : box.answer == IDOK ? "OK" : "(by hand)");
    }
    if (result.timedOut) std::printf("timed out\n");
    std::printf("exit code: %lu\n", result.exitCode);
    std::printf("time: %lu ms\n", result.elapsedMs);
    return 0;
}
