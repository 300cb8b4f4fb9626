#include "box_driver.h"

#include <algorithm>
#include <memory>
#include <set>

namespace lvm::driver {

namespace {

struct ProcessWindows {
    DWORD processId = 0;
    std::vector<HWND> boxes;
    bool progressVisible = false;
};

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

BOOL CALLBACK CollectWindows(HWND window, LPARAM param) {
    auto* found = reinterpret_cast<ProcessWindows*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != found->processId) return TRUE;
    if (!IsWindowVisible(window)) return TRUE;
    const std::wstring className = ClassOf(window);
    if (className == L"#32770") found->boxes.push_back(window);
    if (className == L"PlainWindow") found->progressVisible = true;
    return TRUE;
}

std::wstring WindowText(HWND window) {
    if (!window) return std::wstring();
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, &text[0], length + 1);
    text.resize(static_cast<size_t>(std::max(got, 0)));
    return text;
}

// The class of the first visible window above `box` in the z-order whose
// rectangle overlaps the box's; empty when the box is uncovered.
std::wstring CoveringWindowClass(HWND box) {
    RECT boxRect{};
    GetWindowRect(box, &boxRect);
    for (HWND above = GetWindow(box, GW_HWNDPREV); above; above = GetWindow(above, GW_HWNDPREV)) {
        if (!IsWindowVisible(above)) continue;
        RECT rect{}, overlap{};
        GetWindowRect(above, &rect);
        if (IntersectRect(&overlap, &rect, &boxRect)) return ClassOf(above);
    }
    return std::wstring();
}

// Presses and releases Return; true when the box then closes within 5 s. The
// box has no kernel object to wait on: its state is looked at whenever the
// program ends or 20 ms have passed.
bool PressReturnOn(HWND box, HANDLE program) {
    INPUT keys[2] = {};
    keys[0].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = VK_RETURN;
    keys[1] = keys[0];
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
    const DWORD start = GetTickCount();
    while (IsWindow(box) && GetTickCount() - start < 5000) WaitForSingleObject(program, 20);
    return !IsWindow(box);
}

// The driver's environment with the given variables replaced, added or (an
// empty value) removed, as a Unicode environment block sorted by name.
std::vector<wchar_t> EnvironmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& changes) {
    std::vector<std::pair<std::wstring, std::wstring>> entries;
    const auto sameName = [](const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; };
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* at = strings; *at; at += wcslen(at) + 1) {
        const std::wstring entry = at;
        const size_t equals = entry.find(L'=', 1);  // "=C:=C:\" names begin with "="
        if (equals == std::wstring::npos) continue;
        entries.emplace_back(entry.substr(0, equals), entry.substr(equals + 1));
    }
    FreeEnvironmentStringsW(strings);
    for (const auto& [name, value] : changes) {
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const auto& e) { return sameName(e.first, name); }),
                      entries.end());
        if (!value.empty()) entries.emplace_back(name, value);
    }
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return _wcsicmp(a.first.c_str(), b.first.c_str()) < 0; });
    std::vector<wchar_t> block;
    for (const auto& [name, value] : entries) {
        const std::wstring entry = name + L"=" + value;
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

// Counts a visible window of the process (pair of process id and count).
BOOL CALLBACK CountVisibleWindowOf(HWND window, LPARAM data) {
    auto* count = reinterpret_cast<std::pair<DWORD, size_t>*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == count->first && IsWindowVisible(window)) ++count->second;
    return TRUE;
}

// A window station nobody sees, with its desktop, for the length of a run.
class HiddenStation {
public:
    explicit HiddenStation(const std::wstring& name) {
        station_ = CreateWindowStationW(name.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
        if (!station_) return;
        // The desktop is made inside the station: this thread visits it.
        HWINSTA own = GetProcessWindowStation();
        if (!SetProcessWindowStation(station_)) return;
        desktop_ = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        SetProcessWindowStation(own);
        desktopName_ = name + L"\\Default";
    }
    ~HiddenStation() {
        if (desktop_) CloseDesktop(desktop_);
        if (station_) CloseWindowStation(station_);
    }
    HiddenStation(const HiddenStation&) = delete;
    HiddenStation& operator=(const HiddenStation&) = delete;

    bool Ready() const { return desktop_ != nullptr; }
    wchar_t* DesktopName() { return &desktopName_[0]; }

    // The visible windows of the process on the station's desktop.
    size_t VisibleWindowsOf(DWORD processId) const {
        std::pair<DWORD, size_t> count{processId, 0};
        EnumDesktopWindows(desktop_, &CountVisibleWindowOf, reinterpret_cast<LPARAM>(&count));
        return count.second;
    }

private:
    HWINSTA station_ = nullptr;
    HDESK desktop_ = nullptr;
    std::wstring desktopName_;
};

}  // namespace

std::string ToUtf8(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                      0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

RunResult RunProgram(const RunOptions& options) {
    RunResult result;
    std::wstring commandLine = L"\"" + options.program + L"\"";
    if (!options.arguments.empty()) commandLine += L" " + options.arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::unique_ptr<HiddenStation> hidden;
    if (!options.hiddenStation.empty()) {
        hidden = std::make_unique<HiddenStation>(options.hiddenStation);
        if (!hidden->Ready()) return result;
        startup.lpDesktop = hidden->DesktopName();
    }
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> environment;
    if (!options.environment.empty()) environment = EnvironmentBlock(options.environment);
    if (!CreateProcessW(options.program.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                        environment.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT,
                        environment.empty() ? nullptr : environment.data(),
                        options.currentDirectory.empty() ? nullptr : options.currentDirectory.c_str(),
                        &startup, &process)) {
        return result;
    }
    result.started = true;
    CloseHandle(process.hThread);

    const DWORD start = GetTickCount();
    size_t nextAnswer = 0;
    std::set<HWND> answered;
    for (;;) {
        const DWORD waited = WaitForSingleObject(process.hProcess, 50);
        if (hidden) {
            result.windowsOnHiddenDesktop = std::max(result.windowsOnHiddenDesktop,
                                                     hidden->VisibleWindowsOf(process.dwProcessId));
        }
        ProcessWindows windows;
        windows.processId = process.dwProcessId;
        EnumWindows(CollectWindows, reinterpret_cast<LPARAM>(&windows));
        if (windows.progressVisible) result.progressWindowSeen = true;
        if (waited == WAIT_OBJECT_0) break;
        if (GetTickCount() - start > options.timeoutMs) {
            result.timedOut = true;
            TerminateProcess(process.hProcess, 9999);
            WaitForSingleObject(process.hProcess, 5000);
            break;
        }
        for (HWND box : windows.boxes) {
            if (answered.count(box)) continue;
            // Read the box once its thread has finished showing it (text laid
            // out, activated, raised): a message sent to the box is answered
            // only when that thread is back in its message loop. At most 5 s.
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(box, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
            ShownBox shown;
            shown.caption = WindowText(box);
            shown.text = WindowText(GetDlgItem(box, 0xFFFF));
            shown.isQuestion = GetDlgItem(box, IDYES) != nullptr;
            for (int id = IDOK; id <= IDCONTINUE; ++id) {
                if (GetDlgItem(box, id) != nullptr) shown.buttons.push_back(id);
            }
            shown.progressVisibleBefore = windows.progressVisible;
            shown.foreground = GetForegroundWindow() == box;
            shown.coveredBy = CoveringWindowClass(box);
            if (options.beforeAnswer) options.beforeAnswer(result.boxes.size());
            if (options.answerBoxes) {
                if (nextAnswer < options.answers.size()) {
                    shown.answer = options.answers[nextAnswer++];
                    shown.scripted = true;
                } else {
                    shown.answer = shown.isQuestion ? IDNO : IDOK;
                }
                GetSystemTimeAsFileTime(&shown.answeredAt);
                // A scripted 0 leaves the box to whoever sits at the display.
                if (shown.answer == kPressReturn) {
                    shown.returnIgnored = !PressReturnOn(box, process.hProcess);
                    // Unblock the run; the test fails on returnIgnored.
                    if (shown.returnIgnored) PostMessageW(box, WM_COMMAND, IDNO, 0);
                } else if (shown.answer != 0) {
                    PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(shown.answer), 0);
                }
            }
            answered.insert(box);
            result.boxes.push_back(shown);
        }
        // A closed box's handle may be reused by the next one.
        for (auto it = answered.begin(); it != answered.end();) {
            it = IsWindow(*it) ? std::next(it) : answered.erase(it);
        }
        result.progressVisibleAtExit = windows.progressVisible;
    }
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hProcess);
    result.elapsedMs = GetTickCount() - start;
    return result;
}

}  // namespace lvm::driver
