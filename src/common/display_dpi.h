// The DPI windows are laid out for, as this process sees it: the installer's
// manifest makes it per-monitor aware where Windows offers that (10 1703 and
// later) and system aware before.
#pragma once

namespace lvm {

// 100 % scaling: the DPI that sizes given in pixels are meant for.
constexpr int kDefaultDpi = 96;

// The DPI stock fonts and system metrics are made for (GetDeviceCaps
// LOGPIXELSX on the screen); 96 where the screen cannot be asked.
int SystemDpi();

// The DPI of the primary monitor, the one the installer's windows are centred
// on. Windows 7 and 8 have no per-monitor DPI: there it is SystemDpi().
int PrimaryMonitorDpi();

}  // namespace lvm
