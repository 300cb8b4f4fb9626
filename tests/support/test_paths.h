// Where the test executables find what the build put beside them, and how
// they start it.
#pragma once

#include <windows.h>

#include <string>

#include "common/scoped_handle.h"

namespace lvm::test {

// The folder of the running test executable, with a trailing backslash; the
// build puts every executable there.
std::wstring TestBinDir();
std::wstring BesideTestExecutable(const std::wstring& name);
// The running test executable itself (UTF-8).
std::string OwnExecutablePath();

// Starts `program` with `arguments` (its name goes in front of them) and
// returns its process, or no handle when it cannot start; `id`, when given,
// receives the process id.
ScopedHandle StartProgram(const std::wstring& program, const std::wstring& arguments, DWORD* id = nullptr);

}  // namespace lvm::test
