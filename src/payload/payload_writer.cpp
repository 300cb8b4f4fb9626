#include "payload/payload_writer.h"

#include <exception>
#include <optional>
#include <vector>

#include "common/text.h"
#include "lang/lang.h"
#include "lang/user_interface.h"
#include "payload/payload_files.h"
#include "payload/version_probes.h"
#include "progress/progress_window.h"

namespace lvm {

namespace {

HMODULE g_resourceModule = nullptr;

class RealProgressWindow final : public ProgressCalls {
public:
    void Hide() override { Window().Hide(); }
    void Show(const std::string& caption, const std::string& text) override { Window().Show(caption, text); }

private:
    // Made at the first call, so a run that never shows progress never makes it.
    static ProgressWindow& Window() {
        static ProgressWindow window;
        return window;
    }
};

RealProgressWindow g_realProgress;
ProgressCalls* g_progress = &g_realProgress;

// The bytes of a resource of the module. A loaded resource needs no release
// on Win32: it is part of the mapped image and lives as long as the module.
std::optional<ByteRange> FindResourceBytes(const std::string& name, const std::string& kind) {
    const HMODULE module = ResourceModule();
    // Types and names are matched without regard to case by the lookup itself.
    const HRSRC found = FindResourceW(module, Widen(name).c_str(), Widen(kind).c_str());
    if (!found) return std::nullopt;
    const HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) return std::nullopt;
    const void* bytes = LockResource(loaded);
    if (!bytes) return std::nullopt;
    return ByteRange{bytes, SizeofResource(module, found)};
}

PayloadOutcome ReportFailure(const std::string& destination) {
    // The destination is named also when it was the temporary file that failed.
    ShowErrorMessage("Can't install file " + destination, "Не удается установить файл " + destination);
    return PayloadOutcome::Failed;
}

struct VersionVerdict {
    bool newIsOlder = false;
    std::string newVersion;        // as the question shows them
    std::string installedVersion;
};

VersionVerdict CompareNumbers(int32_t newVersion, int32_t installedVersion) {
    return {installedVersion > newVersion, std::to_string(newVersion), std::to_string(installedVersion)};
}

// The new file (at its temporary path) is probed first, then the installed one.
VersionVerdict CompareVersions(const std::string& kind, const std::string& temporary,
                               const std::string& destination) {
    if (kind == "exe") {
        VersionVerdict verdict;
        verdict.newVersion = ReadExeFileVersion(temporary);
        verdict.installedVersion = ReadExeFileVersion(destination);
        verdict.newIsOlder = IsExeVersionOlder(verdict.newVersion, verdict.installedVersion);
        return verdict;
    }
    if (kind == "pak") {
        const int32_t newVersion = ReadPakVersion(temporary);
        return CompareNumbers(newVersion, ReadPakVersion(destination));
    }
    if (kind == "3bs") {
        const int32_t newVersion = Read3bsVersion(temporary);
        return CompareNumbers(newVersion, Read3bsVersion(destination));
    }
    if (kind == "cok") {
        const int32_t newVersion = ReadCokVersion(temporary);
        return CompareNumbers(newVersion, ReadCokVersion(destination));
    }
    if (kind == "lng" && ComparesLngVersions(destination)) {
        const int32_t newVersion = ReadLngVersion(temporary);
        return CompareNumbers(newVersion, ReadLngVersion(destination));
    }
    return {};
}

bool UserWantsOlderFile(const std::string& destination, const VersionVerdict& verdict) {
    const QuestionText question =
        OlderVersionQuestion(UseRussian, destination, verdict.installedVersion, verdict.newVersion);
    const int answer = UseRussian ? ShowRussianBox(question.text, question.caption, kQuestionBoxStyle)
                                  : ShowEnglishBox(question.text, question.caption, kQuestionBoxStyle);
    return answer == kAnswerYes;
}

// The new data go beside the installed file first; the installed file is
// replaced only when the new one is not older or the user wants it anyway.
PayloadOutcome CarefulReplace(const ByteRange& data, const std::string& kind,
                              const std::string& destination) {
    const std::string temporary = TildeName(destination);
    if (!WriteWholeFile(temporary, {data})) return ReportFailure(destination);

    const VersionVerdict verdict = CompareVersions(kind, temporary, destination);
    if (verdict.newIsOlder) {
        // The question must not be hidden behind the topmost progress window.
        g_progress->Hide();
        if (!UserWantsOlderFile(destination, verdict)) {
            DeleteFileW(Widen(temporary).c_str());
            g_progress->Show("", "");
            return PayloadOutcome::KeptNewer;
        }
    }
    // On failure the temporary file stays beside the untouched installed one
    // and the window stays hidden: the run goes on to its closing question.
    if (!ReplaceFileWith(destination, temporary)) return ReportFailure(destination);
    if (verdict.newIsOlder) g_progress->Show("", "");
    return PayloadOutcome::Written;
}

PayloadOutcome WriteResource(const std::string& name, const std::string& kind,
                             const std::string& destination, bool checkExisting) {
    // A resource the executable does not carry is a failure to install, not a crash.
    const std::optional<ByteRange> data = FindResourceBytes(name, kind);
    if (!data) return ReportFailure(destination);
    if (checkExisting && HasVersionRule(kind) && IsExistingFile(destination)) {
        return CarefulReplace(*data, kind, destination);
    }
    if (!WriteWholeFile(destination, {*data})) return ReportFailure(destination);
    return PayloadOutcome::Written;
}

PayloadOutcome WriteSplitResource(const std::string& name, const std::string& kind,
                                  const std::string& destination) {
    const std::optional<ByteRange> first = FindResourceBytes(name + "1", kind);
    const std::optional<ByteRange> second = FindResourceBytes(name + "2", kind);
    if (!first || !second) return ReportFailure(destination);
    if (!WriteWholeFile(destination, {*first, *second})) return ReportFailure(destination);
    return PayloadOutcome::Written;
}

}  // namespace

void SetResourceModule(HMODULE module) { g_resourceModule = module; }
HMODULE ResourceModule() { return g_resourceModule ? g_resourceModule : GetModuleHandleW(nullptr); }

void SetProgressCalls(ProgressCalls* calls) { g_progress = calls ? calls : &g_realProgress; }

PayloadOutcome WriteResourceToFile(const std::string& name, const std::string& kind,
                                   const std::string& destination, bool checkExisting) {
    try {
        return WriteResource(name, kind, destination, checkExisting);
    } catch (const std::exception&) {
        // Out of memory for a text, a conversion that failed: the same report.
        return ReportFailure(destination);
    }
}

PayloadOutcome WriteSplitResourceToFile(const std::string& name, const std::string& kind,
                                        const std::string& destination) {
    try {
        return WriteSplitResource(name, kind, destination);
    } catch (const std::exception&) {
        return ReportFailure(destination);
    }
}

}  // namespace lvm
