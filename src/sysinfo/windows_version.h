// A one-line description of the running Windows, and the 64-bit flag taken from it.
#pragma once

#include <string>

namespace lvm {

// Set by every successful DescribeWindows: the description contains " 64".
extern bool IsWin64;

std::string DescribeWindows(bool detail);

}  // namespace lvm
