// A process of the installer's kind that does nothing: GUI subsystem, the same
// system DLLs in its import table, the same resources (the build adds the
// installer's resource script), exit code 0 at once. Started under Wine, it
// measures the fixed cost that every run of the installer pays before its own
// code does anything: the baseline of the end-to-end install figure.
#include <windows.h>
#include <shellapi.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Never true. The calls are here so that the linker lists their DLLs as
    // imports and the loader maps them, as it does for the installer.
    if (GetCommandLineW() == nullptr) {
        MessageBoxW(nullptr, L"", L"", MB_OK);                                  // user32
        GetStockObject(DEFAULT_GUI_FONT);                                       // gdi32
        RegCloseKey(HKEY_CURRENT_USER);                                         // advapi32
        ShellExecuteW(nullptr, nullptr, L"", nullptr, nullptr, SW_SHOWNORMAL);  // shell32
    }
    return 0;
}
