// The account of a run that /log=<file> asks for: appended to the file (never
// truncated), UTF-8, a line for each step that decided something. A log that
// cannot be opened or written never changes the run.
#pragma once

#include <string>

#include "common/scoped_handle.h"

namespace lvm {

class TRunLog {
public:
    TRunLog() = default;

    // Opens `path` for appending only, shared for reading so that a deployment
    // tool can collect it at any time. Nothing is logged when it cannot be
    // opened, or when what lies at the path is not a plain file of one name
    // (a link planted where an administrator's log goes is never written through).
    void Open(const std::string& path);
    bool IsOpen() const { return file_.valid(); }

    // One line; the end of line is added.
    void Write(const std::string& line) const;

private:
    ScopedHandle file_;
};

// "2026-12-09 14:05:09" in local time.
std::string LocalTimestamp();

}  // namespace lvm
