// Where the test executables find what the build put beside them.
#pragma once

#include <string>

namespace lvm::test {

// The folder of the running test executable, with a trailing backslash; the
// build puts every executable there.
std::wstring TestBinDir();
std::wstring BesideTestExecutable(const std::wstring& name);

}  // namespace lvm::test
