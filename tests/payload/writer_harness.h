// The writer's seams pointed at the test executable's own resources, at a
// scripted user interface and at a recorder of progress calls.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "common/text.h"
#include "lang/lang.h"
#include "payload/payload_writer.h"
#include "support/scripted_ui.h"
#include "support/test_files.h"
#include "support/test_paths.h"

namespace lvm::test {

// The No answer to a question, and the progress calls around an asked one.
constexpr int kIdNo = 7;
inline const std::vector<std::string> kHiddenAndShown{"hide", "show(|)"};

// The bytes of one of the test executable's own resources.
inline std::string TestResource(const std::string& name, const std::string& kind) {
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, Widen(name).c_str(), Widen(kind).c_str());
    if (!found) return std::string();
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return std::string(bytes, SizeofResource(module, found));
}

// Records the writer's calls into the progress window, as "hide" and
// "show(caption|text)", instead of starting a window.
struct ProgressRecorder {
    TProgressSeams Seams() {
        return {[this] { calls.push_back("hide"); },
                [this](const std::string& caption, const std::string& text) {
                    calls.push_back("show(" + caption + "|" + text + ")");
                }};
    }

    std::vector<std::string> calls;
};

// The writer over test doubles: the test executable's resources, a scripted
// user interface, recorded progress calls, and the system's writes unless a
// test gives another chunk writer. English unless asked for Russian.
class WriterHarness {
public:
    explicit WriterHarness(bool russian = false) : run_(russian), messages_(run_.Messenger()) {}
    WriterHarness(const WriterHarness&) = delete;
    WriterHarness& operator=(const WriterHarness&) = delete;

    TPayloadSeams Seams() {
        return {messages_, progress.Seams(), GetModuleHandleW(nullptr), staging, retry, whenHeld, "run"};
    }
    PayloadOutcome Write(const std::string& name, const std::string& kind, const std::string& destination) {
        return WriteResourceToFile(Seams(), name, kind, destination);
    }
    PayloadOutcome WriteSplit(const std::string& name, const std::string& kind, const std::string& destination) {
        return WriteSplitResourceToFile(Seams(), name, kind, destination);
    }
    const TMessenger& Messenger() const { return messages_; }

private:
    TestRun run_;
    TMessenger messages_;

public:
    ScriptedUserInterface& ui = run_.ui;
    ProgressRecorder progress;
    TStagingSeams staging;
    // The tries of a held file on a clock that only the pauses move.
    std::vector<uint32_t> pauses;
    uint32_t clockMs = 0;
    TRetrySeams retry{[this](uint32_t ms) { pauses.push_back(ms), clockMs += ms; }, [this] { return clockMs; }};
    HeldFileDecision whenHeld;
};

}  // namespace lvm::test
