// A stand-in for the application, for tests and the demo. It leaves the marks
// the installer looks for: the mapping "lingvaro_memfile" and a visible
// top-level window of class "TLVMainForm". It ends when its message loop gets
// WM_QUIT, or by itself after a time limit so that nothing is left running.
//
// Options: --lifetime=SECONDS (default 30), --no-window, --window-delay=MS,
// --mapping-delay=MS, --minimized (the window starts minimized and inactive,
// as if the user had put it away), and, to behave like the real application:
//   --hold-package    holds lvm0.pak of its own folder open for reading
//                     (read sharing only) from start to exit, as the
//                     application reads its sound package;
//   --exit-delay=MS   takes this long to exit after its loop gets WM_QUIT,
//                     still holding everything;
//   --single-instance exits at once, without a window, when the mapping
//                     already exists (a second copy handing over to the first).
// Options are read from the command line, then from the file
// "Lingvaro.options" beside the executable, then from the environment
// variable LVM_STANDIN_ARGS: the installer starts the application with no
// parameters, and through the desktop shell it inherits nothing from the
// installer's environment, so the file is the way that always works.
//
// --log=PATH (or the environment variable LVM_STANDIN_LOG) names a file to
// which it appends one line per event, each beginning with its process id:
// "started errormode=0xN" (its error mode at start), "cwd PATH" (its current
// folder at start, UTF-8), "holding" (the package
// is open), "already-running", "activated", "quit", "timeout".
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr UINT_PTR kLifetimeTimer = 1;

std::wstring g_logPath;

void Log(const char* event) {
    if (g_logPath.empty()) return;
    HANDLE file = CreateFileW(g_logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char line[1024];
    const int n = std::snprintf(line, sizeof(line), "%lu %s\r\n", GetCurrentProcessId(), event);
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(n), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    if (message == WM_ACTIVATEAPP && wParam) Log("activated");
    return DefWindowProcW(window, message, wParam, lParam);
}

// The folder of this executable, with a trailing backslash.
std::wstring OwnFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// The first line of "Lingvaro.options" beside the executable (UTF-8).
std::wstring OptionsFileText() {
    HANDLE file = CreateFileW((OwnFolder() + L"Lingvaro.options").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::wstring();
    char buffer[1024];
    DWORD got = 0;
    ReadFile(file, buffer, sizeof(buffer), &got, nullptr);
    CloseHandle(file);
    DWORD length = 0;
    while (length < got && buffer[length] != '\r' && buffer[length] != '\n') ++length;
    std::wstring text(length, L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, buffer, static_cast<int>(length), &text[0], static_cast<int>(length));
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

std::wstring StringOption(int argc, wchar_t** argv, const wchar_t* name) {
    const size_t length = std::wcslen(name);
    for (int i = 1; i < argc; ++i) {
        if (std::wcsncmp(argv[i], name, length) == 0) return argv[i] + length;
    }
    return std::wstring();
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

// The command line followed by the options file and LVM_STANDIN_ARGS.
std::wstring OptionText() {
    std::wstring text = GetCommandLineW();
    text += L" " + OptionsFileText();
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
    // Before anything can change it: what the starting process handed down.
    const UINT errorModeAtStart = GetErrorMode();
    int argc = 0;
    const std::wstring optionText = OptionText();
    wchar_t** argv = CommandLineToArgvW(optionText.c_str(), &argc);
    const long lifetimeSeconds = OptionValue(argc, argv, L"--lifetime=", 30);
    const long mappingDelay = OptionValue(argc, argv, L"--mapping-delay=", 0);
    const long windowDelay = OptionValue(argc, argv, L"--window-delay=", 0);
    const bool withWindow = !HasOption(argc, argv, L"--no-window");
    const bool minimized = HasOption(argc, argv, L"--minimized");
    const bool holdPackage = HasOption(argc, argv, L"--hold-package");
    const bool singleInstance = HasOption(argc, argv, L"--single-instance");
    const long exitDelay = OptionValue(argc, argv, L"--exit-delay=", 0);
    g_logPath = StringOption(argc, argv, L"--log=");
    LocalFree(argv);
    if (g_logPath.empty()) {
        wchar_t path[MAX_PATH];
        const DWORD length = GetEnvironmentVariableW(L"LVM_STANDIN_LOG", path, MAX_PATH);
        if (length > 0 && length < MAX_PATH) g_logPath.assign(path, length);
    }

    if (mappingDelay > 0) Sleep(static_cast<DWORD>(mappingDelay));
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64,
                                        L"lingvaro_memfile");
    if (singleInstance && mapping && GetLastError() == ERROR_ALREADY_EXISTS) {
        Log("already-running");
        CloseHandle(mapping);
        return 0;
    }
    char started[48];
    std::snprintf(started, sizeof(started), "started errormode=0x%x", errorModeAtStart);
    Log(started);
    wchar_t current[MAX_PATH];
    const DWORD currentLength = GetCurrentDirectoryW(MAX_PATH, current);
    char currentUtf8[3 * MAX_PATH + 8] = "cwd ";
    WideCharToMultiByte(CP_UTF8, 0, current, static_cast<int>(currentLength), currentUtf8 + 4,
                        3 * MAX_PATH, nullptr, nullptr);
    Log(currentUtf8);

    HANDLE package = INVALID_HANDLE_VALUE;
    if (holdPackage) {
        package = CreateFileW((OwnFolder() + L"lvm0.pak").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
        if (package != INVALID_HANDLE_VALUE) Log("holding");
    }

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
    // Saving its state, say: the package and the mark stay until the very end.
    // The time itself is the behaviour: a real application is this slow to go.
    if (exitDelay > 0) Sleep(static_cast<DWORD>(exitDelay));
    if (package != INVALID_HANDLE_VALUE) CloseHandle(package);
    if (mapping) CloseHandle(mapping);
    return 0;
}
