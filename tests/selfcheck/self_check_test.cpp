#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "common/scoped_handle.h"
#include "common/text.h"
#include "selfcheck/self_check.h"
#include "selfcheck/self_check_rules.h"
#include "support/expected_texts.h"
#include "support/scripted_ui.h"
#include "support/test_files.h"
#include "support/test_paths.h"

namespace lvm {
namespace {

std::wstring BesideTests(const wchar_t* name) { return test::BesideTestExecutable(name); }

std::string ReadWholeFile(const std::wstring& path) { return test::ReadFileBytes(Narrow(path)).value_or(""); }

uint32_t Read32(const std::string& bytes, size_t at) {
    uint32_t v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

class SelfCheck : public testing::Test {
protected:
    void SetUp() override {
        original = ReadWholeFile(BesideTests(L"lvm0-setup.exe"));
        ASSERT_FALSE(original.empty()) << "the installer is built beside the tests";
        const auto parsed = ParseSelfCheckLayout(reinterpret_cast<const uint8_t*>(original.data()),
                                                 original.size());
        ASSERT_TRUE(parsed.has_value());
        layout = *parsed;
    }

    SelfCheckResult Check(const std::string& bytes) {
        folder.WriteFile("copy.exe", bytes);
        return TBackgroundSelfCheck(Widen(folder.PathOf("copy.exe"))).Verdict();
    }

    std::string original;
    TSelfCheckLayout layout;
    test::TempFolder folder;
};

TEST_F(SelfCheck, TheShippedFilePassesAndItsRecordCoversAllOfIt) {
    EXPECT_EQ(Check(original), SelfCheckResult::Passed);
    EXPECT_EQ(Read32(original, layout.recordOffset + 8), original.size());
    EXPECT_EQ(layout.certificateOffset, 0u);
    EXPECT_EQ(layout.certificateSize, 0u);
}

TEST_F(SelfCheck, AFlippedByteAnywhereFails) {
    const size_t record = layout.recordOffset;
    const size_t positions[] = {
        0,                                // DOS header
        0x3C,                             // pointer to the PE header
        layout.checksumOffset,            // checksum: not in the digest, but checked
        layout.checksumOffset + 3,
        layout.securityDirOffset,         // certificate directory
        layout.securityDirOffset + 7,
        0x400 + 100,                      // code
        record + 9,                       // covered length
        record + 16,                      // digest
        record + 47,
        original.size() / 2,              // package data in the resources
        original.size() - 1,              // last byte
    };
    for (size_t at : positions) {
        std::string bytes = original;
        bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
        EXPECT_EQ(Check(bytes), SelfCheckResult::Distorted) << "byte " << at;
    }
}

TEST_F(SelfCheck, CutOrExtendedFilesFail) {
    EXPECT_EQ(Check(original.substr(0, original.size() - 1)), SelfCheckResult::Distorted);
    EXPECT_EQ(Check(original.substr(0, original.size() / 2)), SelfCheckResult::Distorted);
    EXPECT_EQ(Check(original.substr(0, 100)), SelfCheckResult::Distorted);
    EXPECT_EQ(Check(std::string()), SelfCheckResult::Distorted);
    // Bytes appended without a certificate directory that describes them.
    EXPECT_EQ(Check(original + std::string(8, '\0')), SelfCheckResult::Distorted);
}

TEST_F(SelfCheck, MissingOrLockedFilesAreUnreadable) {
    EXPECT_EQ(TBackgroundSelfCheck(Widen(folder.PathOf("absent.exe"))).Verdict(), SelfCheckResult::Unreadable);
    folder.WriteFile("locked.exe", original);
    HANDLE exclusive = CreateFileW(Widen(folder.PathOf("locked.exe")).c_str(), GENERIC_READ, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(TBackgroundSelfCheck(Widen(folder.PathOf("locked.exe"))).Verdict(), SelfCheckResult::Unreadable);
    CloseHandle(exclusive);
}

// Only a check that passed lets the run go on; each failure has its own box.
TEST(SelfCheckReport, OnlyAPassedCheckLetsTheRunGoOn) {
    const struct {
        SelfCheckResult result;
        bool goesOn;
        std::vector<std::string> boxes;
    } rows[] = {
        {SelfCheckResult::Passed, true, {}},
        {SelfCheckResult::Distorted, false, {test::texts::kDistortedEn}},
        {SelfCheckResult::Unreadable, false, {"Failed to check up the package file!"}},
    };
    for (const auto& row : rows) {
        test::TestRun run;
        EXPECT_EQ(ReportSelfCheck(row.result, run.Messenger()), row.goesOn) << static_cast<int>(row.result);
        EXPECT_EQ(run.ui.Texts(), row.boxes) << static_cast<int>(row.result);
    }
}

// A run that ends early drops its check without the verdict: the check stops
// at the next chunk, and the owner waits for its thread, so nothing reads the
// file or the owner's memory after the owner is gone. The check's thread reads
// the installer's own file, perhaps from a drive that goes away: like the main
// thread, it gets no system dialog for it.
TEST_F(SelfCheck, ACheckDroppedWithoutItsVerdictStopsAtTheNextChunkAndIsWaitedFor) {
    folder.WriteFile("copy.exe", original);
    const size_t fileChunks = (original.size() + (1 << 20) - 1) >> 20;
    ASSERT_GE(fileChunks, 4u);
    const ScopedHandle inSecondChunk(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const ScopedHandle letGo(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const ScopedHandle ownerGone(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<size_t> chunks{0};
    std::atomic<DWORD> threadErrorMode{0};
    auto check = std::make_unique<TBackgroundSelfCheck>(Widen(folder.PathOf("copy.exe")), [&] {
        threadErrorMode = GetThreadErrorMode();
        if (++chunks != 2) return;
        SetEvent(inSecondChunk.get());
        WaitForSingleObject(letGo.get(), 60000);
    });
    ASSERT_EQ(WaitForSingleObject(inSecondChunk.get(), 60000), static_cast<DWORD>(WAIT_OBJECT_0));
    std::thread owner([&] {
        check.reset();
        SetEvent(ownerGone.get());
    });
    // Half a second is ample for an owner that does not wait to be gone.
    EXPECT_EQ(WaitForSingleObject(ownerGone.get(), 500), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the owner was gone while its check's thread still ran";
    SetEvent(letGo.get());
    owner.join();
    EXPECT_LT(chunks.load(), fileChunks) << "the check hashed the whole file after its owner had gone";
    EXPECT_EQ(threadErrorMode.load(), static_cast<DWORD>(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));
}

TEST_F(SelfCheck, ASignatureAddedAfterTheBuildKeepsItPassingButNotAFlippedByte) {
    const std::string signedFile = ReadWholeFile(BesideTests(L"lvm0-setup-signed.exe"));
    ASSERT_GT(signedFile.size(), original.size()) << "the signed copy is built beside the tests";
    const auto signedLayout =
        ParseSelfCheckLayout(reinterpret_cast<const uint8_t*>(signedFile.data()), signedFile.size());
    ASSERT_TRUE(signedLayout.has_value());
    EXPECT_EQ(signedLayout->certificateOffset, original.size());
    EXPECT_EQ(Check(signedFile), SelfCheckResult::Passed);

    for (size_t at : {size_t{0x400 + 100}, signedFile.size() / 2, original.size() - 1,
                      size_t{signedLayout->securityDirOffset + 1}, size_t{signedLayout->checksumOffset}}) {
        std::string bytes = signedFile;
        bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
        EXPECT_EQ(Check(bytes), SelfCheckResult::Distorted) << "byte " << at;
    }
    // The signature cut off again, but the directory still pointing at it.
    EXPECT_EQ(Check(signedFile.substr(0, original.size())), SelfCheckResult::Distorted);
}

}  // namespace
}  // namespace lvm
