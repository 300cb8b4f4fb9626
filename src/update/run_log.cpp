#include "update/run_log.h"

#include <windows.h>

#include <cstdio>

#include "common/file_attributes.h"
#include "common/text.h"

namespace lvm {

namespace {

bool HoldsPlainFileOfOneName(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(file, &info) &&
           IsPlainFileOfOneName(info.dwFileAttributes, info.nNumberOfLinks);
}

}  // namespace

void TRunLog::Open(const std::string& path) {
    if (path.empty()) return;
    // The link itself is opened, never what it points to; the checks below
    // then refuse it.
    ScopedHandle file(CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
    if (!file || !HoldsPlainFileOfOneName(file.get())) return;
    file_ = std::move(file);
}

void TRunLog::Write(const std::string& line) const {
    if (!file_) return;
    const std::string bytes = line + "\r\n";
    DWORD written = 0;
    // A failed write is not the run's business.
    WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string LocalTimestamp() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return text;
}

}  // namespace lvm
