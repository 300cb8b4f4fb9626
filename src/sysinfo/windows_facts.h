// Gathers from the running system the facts that the Windows description is
// made of (see windows_names.h for what becomes of them).
#pragma once

#include <optional>
#include <string>

#include "sysinfo/windows_names.h"

namespace lvm {

// nullopt when Windows answers neither the extended nor the short version
// query. Runs "ver" and reads the registry only where the record needs it;
// without detail, "ver" only where it can change the name.
// A "ProductName" that is not a string raises TRegistryError.
std::optional<TWindowsFacts> GatherWindowsFacts(bool detail);

// "ProductName" under HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion in the
// 64-bit view; nullopt when the key or the value is missing. A value of
// another type raises TRegistryError, with the key closed again.
std::optional<std::string> ReadProductName();

// "ProductType" under HKLM\SYSTEM\CurrentControlSet\Control\ProductOptions
// when it is a REG_SZ that fits 256 characters; nullopt otherwise.
std::optional<std::string> ReadProductOptionsType();

// The key HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Hotfix\Q246009 opens.
bool HotfixQ246009Installed();

}  // namespace lvm
