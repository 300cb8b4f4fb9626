// Files and folders for the payload tests: a scratch folder removed after each
// test, whole-file reads and writes, and the writer's seams pointed at the
// test executable's own resources and at a recorder of progress calls.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "common/text.h"
#include "lang/lang.h"
#include "payload/payload_writer.h"
#include "support/scripted_ui.h"
#include "support/temp_folder.h"

namespace lvm::test {

using ScratchFolder = TempFolder;

// The No answer to a question, and the progress calls around an asked one.
constexpr int kIdNo = 7;
inline const std::vector<std::string> kHiddenAndShown{"hide", "show(|)"};

inline bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

// The whole file, or nothing when there is no file to read.
inline std::optional<std::string> ReadFileBytes(const std::string& path) {
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

inline bool PathExists(const std::string& path) {
    return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline void SetReadOnly(const std::string& path, bool readOnly) {
    SetFileAttributesW(Widen(path).c_str(), readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
}

// The bytes of one of the test executable's own resources.
inline std::string TestResource(const std::string& name, const std::string& kind) {
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, Widen(name).c_str(), Widen(kind).c_str());
    if (!found) return std::string();
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return std::string(bytes, SizeofResource(module, found));
}

inline std::string OwnExecutablePath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return Narrow(std::wstring(path, length));
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
