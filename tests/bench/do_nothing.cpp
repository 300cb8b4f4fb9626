// A process of the installer's kind that does nothing: GUI subsystem, the same
// system DLLs in its import table (kernel32, advapi32 and the C runtime: the
// window system comes in only at first use), the same resources (the build
// adds the installer's resource script), exit code 0 at once. Started under
// Wine, it measures the fixed cost that every run of the installer pays
// before its own code does anything.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Never true. The call is here so that the linker lists advapi32 as an
    // import and the loader maps it, as it does for the installer.
    if (GetCommandLineW() == nullptr) RegCloseKey(HKEY_CURRENT_USER);
    return 0;
}
