// A DLL planted beside a program under a system DLL's name. Loading it leaves
// a mark: a line appended to the file named by LVM_PLANT_MARK.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"LVM_PLANT_MARK", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, "planted DLL loaded\r\n", 20, &written, nullptr);
        CloseHandle(file);
    }
    return TRUE;
}
