#include "payload/payload_writer.h"

#include <exception>
#include <optional>
#include <vector>

#include "common/text.h"
#include "payload/version_probes.h"

namespace lvm {

namespace {

// The bytes of a resource of the module. A loaded resource needs no release
// on Win32: it is part of the mapped image and lives as long as the module.
std::optional<TByteRange> FindResourceBytes(HMODULE module, const std::string& name, const std::string& kind) {
    // Types and names are matched without regard to case by the lookup itself.
    const HRSRC found = FindResourceW(module, Widen(name).c_str(), Widen(kind).c_str());
    if (!found) return std::nullopt;
    const HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) return std::nullopt;
    const void* bytes = LockResource(loaded);
    if (!bytes) return std::nullopt;
    return TByteRange{bytes, SizeofResource(module, found)};
}

PayloadOutcome ReportFailure(const TPayloadSeams& seams, const std::string& destination) {
    // The destination is named also when it was the temporary file that failed.
    seams.messages.Tell(Message::CantInstallFile, {destination});
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
VersionVerdict CompareVersions(const TPayloadSeams& seams, const std::string& kind,
                               const std::string& temporary, const std::string& destination) {
    const std::optional<VersionProbe> probe = VersionProbeFor(kind);
    if (!probe) return {};
    switch (*probe) {
        case VersionProbe::ExeFileVersion: {
            VersionVerdict verdict;
            verdict.newVersion = ReadExeFileVersion(temporary);
            verdict.installedVersion = ReadExeFileVersion(destination);
            verdict.newIsOlder = IsExeVersionOlder(verdict.newVersion, verdict.installedVersion);
            return verdict;
        }
        case VersionProbe::PakField: {
            const int32_t newVersion = ReadPakVersion(temporary);
            return CompareNumbers(newVersion, ReadPakVersion(destination));
        }
        case VersionProbe::ThreeBsField: {
            const int32_t newVersion = Read3bsVersion(temporary);
            return CompareNumbers(newVersion, Read3bsVersion(destination));
        }
        case VersionProbe::CokField: {
            const int32_t newVersion = ReadCokVersion(temporary);
            return CompareNumbers(newVersion, ReadCokVersion(destination));
        }
        case VersionProbe::LngScan: {
            if (!ComparesLngVersions(destination)) return {};
            const int32_t newVersion = ReadLngVersion(temporary, seams.messages);
            return CompareNumbers(newVersion, ReadLngVersion(destination, seams.messages));
        }
    }
    return {};
}

std::string Milliseconds(uint32_t ms) { return std::to_string(ms) + " ms"; }

PayloadOutcome KeepForRestart(const TPayloadSeams& seams, TStagedFile& staged, const std::string& destination) {
    const std::string kept = RestartKeptName(destination, seams.runTag);
    if (!staged.KeepForRestart(kept, destination)) return PayloadOutcome::Failed;
    seams.messages.Log("kept " + kept + " for the restart; its move over " + destination + " is scheduled");
    return PayloadOutcome::KeptForRestart;
}

// Gives the staged file the destination's name. Failed here is not yet
// reported: the caller says what stays behind.
PayloadOutcome PlaceStaged(const TPayloadSeams& seams, TStagedFile& staged, const std::string& destination) {
    for (;;) {
        CommitResult result = CommitResult::Failed;
        bool told = false;
        const std::optional<uint32_t> heldFor = RetryWhileHeld(
            [&] {
                result = staged.Commit(destination);
                if (result == CommitResult::Held && !told) {
                    // Said at once: an administrator reading the log meanwhile sees why the run waits.
                    seams.messages.Log(destination + " is held by another program; trying again for up to " +
                                          Milliseconds(kHeldRetryLimitMs));
                    told = true;
                }
                return result == CommitResult::Held;
            },
            seams.retry);
        if (result == CommitResult::Done) {
            if (heldFor) {
                seams.messages.Log(destination + " was held by another program; free after " +
                                      Milliseconds(*heldFor));
            }
            ClearFilesKeptForRestart(destination);
            return PayloadOutcome::Written;
        }
        if (result == CommitResult::Failed || !seams.whenHeld) return PayloadOutcome::Failed;
        seams.messages.Log(destination + " still held by another program after " + Milliseconds(heldFor.value_or(0)) +
                              " of tries");
        switch (seams.whenHeld(destination)) {
            case HeldAnswer::TryAgain:
                continue;
            case HeldAnswer::Cancel:
                staged.Discard();
                return PayloadOutcome::Cancelled;
            case HeldAnswer::FinishAtRestart:
                return KeepForRestart(seams, staged, destination);
        }
    }
}

bool UserWantsOlderFile(const TPayloadSeams& seams, const std::string& destination,
                        const VersionVerdict& verdict) {
    return seams.messages.Ask(Message::OlderVersion,
                                 {destination, verdict.installedVersion, verdict.newVersion});
}

// The new data go beside the installed file first; the installed file is
// replaced only when the new one is not older or the user wants it anyway.
PayloadOutcome CarefulReplace(const TPayloadSeams& seams, const TByteRange& data,
                              const std::string& kind, const std::string& destination) {
    const std::string temporary = TildeName(destination);
    TStagedFile staged(seams.staging);
    if (!staged.Create(temporary) || !staged.Write({data})) return ReportFailure(seams, destination);

    const VersionVerdict verdict = CompareVersions(seams, kind, temporary, destination);
    seams.messages.Log("versions: installed " + destination + " " + verdict.installedVersion + ", carried " +
                          verdict.newVersion + (verdict.newIsOlder ? " (older)" : ""));
    if (verdict.newIsOlder) {
        // The question must not be hidden behind the topmost progress window.
        seams.progress.hide();
        if (!UserWantsOlderFile(seams, destination, verdict)) {
            staged.Discard();
            seams.progress.show("", "");
            return PayloadOutcome::KeptNewer;
        }
    }
    // On failure the temporary file stays beside the untouched installed one
    // and the window stays hidden: the run goes on to its closing question.
    const PayloadOutcome placed = PlaceStaged(seams, staged, destination);
    if (placed == PayloadOutcome::Failed) {
        staged.Keep();
        return ReportFailure(seams, destination);
    }
    if (verdict.newIsOlder && placed == PayloadOutcome::Written) seams.progress.show("", "");
    return placed;
}

// The data with no comparison: also a file written straight to its place
// goes through a new file beside it, so that nothing that lies at either
// name is ever opened for writing, and a failed write leaves an installed
// file whole.
PayloadOutcome WriteInPlaceOf(const TPayloadSeams& seams, const std::vector<TByteRange>& pieces,
                              const std::string& destination) {
    TStagedFile staged(seams.staging);
    if (!staged.Create(TildeName(destination)) || !staged.Write(pieces)) return ReportFailure(seams, destination);
    const PayloadOutcome placed = PlaceStaged(seams, staged, destination);
    return placed == PayloadOutcome::Failed ? ReportFailure(seams, destination) : placed;
}

PayloadOutcome WriteResource(const TPayloadSeams& seams, const std::string& name,
                             const std::string& kind, const std::string& destination) {
    // A resource the executable does not carry is a failure to install, not a crash.
    const std::optional<TByteRange> data = FindResourceBytes(seams.resourceModule, name, kind);
    if (!data) return ReportFailure(seams, destination);
    if (HasVersionRule(kind) && IsExistingFile(destination)) {
        return CarefulReplace(seams, *data, kind, destination);
    }
    return WriteInPlaceOf(seams, {*data}, destination);
}

PayloadOutcome WriteSplitResource(const TPayloadSeams& seams, const std::string& name,
                                  const std::string& kind, const std::string& destination) {
    const std::optional<TByteRange> first = FindResourceBytes(seams.resourceModule, name + "1", kind);
    const std::optional<TByteRange> second = FindResourceBytes(seams.resourceModule, name + "2", kind);
    if (!first || !second) return ReportFailure(seams, destination);
    return WriteInPlaceOf(seams, {*first, *second}, destination);
}

// Out of memory for a text, a conversion that failed: the same report as a
// write that failed.
template <typename Write>
PayloadOutcome ReportingAnyFailure(const TPayloadSeams& seams, const std::string& destination, Write write) {
    try {
        return write();
    } catch (const std::exception&) {
        return ReportFailure(seams, destination);
    }
}

}  // namespace

TRetrySeams SystemRetrySeams() {
    return {[](uint32_t milliseconds) { Sleep(milliseconds); }, [] { return static_cast<uint32_t>(GetTickCount()); }};
}

PayloadOutcome WriteResourceToFile(const TPayloadSeams& seams, const std::string& name,
                                   const std::string& kind, const std::string& destination) {
    return ReportingAnyFailure(seams, destination, [&] { return WriteResource(seams, name, kind, destination); });
}

PayloadOutcome WriteSplitResourceToFile(const TPayloadSeams& seams, const std::string& name,
                                        const std::string& kind, const std::string& destination) {
    return ReportingAnyFailure(seams, destination,
                               [&] { return WriteSplitResource(seams, name, kind, destination); });
}

}  // namespace lvm
