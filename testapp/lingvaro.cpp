// A stand-in for the application, for tests and the demo. It leaves the marks
// the installer looks for: the mapping "lingvaro_memfile" and a visible
// top-level window of class "TLVMainForm". It ends when its message loop gets
// WM_QUIT, or by itself after a time limit so that nothing is left running.
//
// Options: --lifetime=SECONDS (default 30), --no-window, --window-delay=MS,
// --mapping-delay=MS, --minimized (the window starts minimized and inactive,
// as if the user had put it away). Options are read from the command line and
// then from the environment variable LVM_STANDIN_ARGS, for starts that pass
// no parameters (the installer's own start passes an empty parameter text).
// When the environment variable LVM_STANDIN_LOG names a file, it appends one
// line per event: "started", "quit", "timeout".
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr UINT_PTR kLifetimeTimer = 1;

void Log(const char* event) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"LVM_STANDIN_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char line[64];
    const int n = std::snprintf(line, sizeof(line), "%s\r\n", event);
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(n), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

long OptionValue(int argc, wchar_t** argv, const wchar_t* name, long fallback) {
    const size_t length = std::wcslen(name);
    for (int i = 1; i < argc; ++i) {
        if (std::wcsncmp(argv[i], name, length) == 0) return std::wcstol(argv[i] + length, nullptr, 10);
    }
    return fallback;
}

bool HasOption(int argc, wchar_t** argv, const wchar_t* name) {
    for (int i = 1; i < argc; ++i) {
        if (std::wcscmp(argv[i], name) == 0) return true;
    }
    return false;
}

// The command line followed by the options of LVM_STANDIN_ARGS.
std::wstring OptionText() {
    std::wstring text = GetCommandLineW();
    wchar_t extra[1024];
    const DWORD length = GetEnvironmentVariableW(L"LVM_STANDIN_ARGS", extra, 1024);
    if (length > 0 && length < 1024) {
        text += L" ";
        text += extra;
    }
    return text;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    int argc = 0;
    const std::wstring optionText = OptionText();
    wchar_t** argv = CommandLineToArgvW(optionText.c_str(), &argc);
    const long lifetimeSeconds = OptionValue(argc, argv, L"--lifetime=", 30);
    const long mappingDelay = OptionValue(argc, argv, L"--mapping-delay=", 0);
    const long windowDelay = OptionValue(argc, argv, L"--window-delay=", 0);
    const bool withWindow = !HasOption(argc, argv, L"--no-window");
    const bool minimized = HasOption(argc, argv, L"--minimized");
    LocalFree(argv);

    if (mappingDelay > 0) Sleep(static_cast<DWORD>(mappingDelay));
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64,
                                        L"lingvaro_memfile");
    Log("started");

    if (withWindow) {
        if (windowDelay > 0) Sleep(static_cast<DWORD>(windowDelay));
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = L"TLVMainForm";
        RegisterClassExW(&windowClass);
        HWND window = CreateWindowExW(0, L"TLVMainForm", L"Lingvaro", WS_OVERLAPPEDWINDOW, 100, 100,
                                      480, 320, nullptr, nullptr, instance, nullptr);
        ShowWindow(window, minimized ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL);
    }

    SetTimer(nullptr, kLifetimeTimer, static_cast<UINT>(lifetimeSeconds * 1000), nullptr);
    MSG message;
    const char* how = "quit";
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr) {
            how = "timeout";
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    Log(how);
    if (mapping) CloseHandle(mapping);
    return 0;
}
