#include "handoff/desktop_shell_start.h"

#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <cstring>

#include "common/scoped_handle.h"
#include "common/system_library.h"

namespace lvm {

namespace {

// ole32 and oleaut32 are loaded only when the application is started: a run
// that never starts it (modest without runapp, a No) does not pay for COM.
// Both are known DLLs, taken from the system folder whatever the search.
struct ComFunctions {
    ScopedModule ole32{LoadSystemLibrary(L"ole32.dll")};
    ScopedModule oleaut32{LoadSystemLibrary(L"oleaut32.dll")};
    LVM_SDK_FUNCTION_TYPE(CoInitializeEx) coInitializeEx = LVM_GET_FUNCTION(ole32.get(), CoInitializeEx);
    LVM_SDK_FUNCTION_TYPE(CoUninitialize) coUninitialize = LVM_GET_FUNCTION(ole32.get(), CoUninitialize);
    LVM_SDK_FUNCTION_TYPE(CoCreateInstance) coCreateInstance = LVM_GET_FUNCTION(ole32.get(), CoCreateInstance);
    LVM_SDK_FUNCTION_TYPE(SysAllocString) sysAllocString = LVM_GET_FUNCTION(oleaut32.get(), SysAllocString);
    LVM_SDK_FUNCTION_TYPE(SysFreeString) sysFreeString = LVM_GET_FUNCTION(oleaut32.get(), SysFreeString);

    bool complete() const {
        return coInitializeEx && coUninitialize && coCreateInstance && sysAllocString && sysFreeString;
    }
};

// VariantInit lives in oleaut32, which is not imported: an empty VARIANT is all zeros.
VARIANT EmptyVariant() {
    VARIANT value;
    std::memset(&value, 0, sizeof(value));
    return value;
}

// One COM reference, released when it goes out of scope.
template <typename Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { if (pointer_) pointer_->Release(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    Interface** out() { return &pointer_; }
    void** outVoid() { return reinterpret_cast<void**>(&pointer_); }
    Interface* operator->() const { return pointer_; }
    Interface* get() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

private:
    Interface* pointer_ = nullptr;
};

// A string argument of the shell's automation calls.
class BstrVariant {
public:
    BstrVariant(const ComFunctions& com, const std::wstring& text) : com_(com), value_(EmptyVariant()) {
        value_.vt = VT_BSTR;
        value_.bstrVal = com_.sysAllocString(text.c_str());
    }
    ~BstrVariant() { if (value_.bstrVal) com_.sysFreeString(value_.bstrVal); }
    BstrVariant(const BstrVariant&) = delete;
    BstrVariant& operator=(const BstrVariant&) = delete;

    bool valid() const { return value_.bstrVal != nullptr; }
    const VARIANT& get() const { return value_; }

private:
    const ComFunctions& com_;
    VARIANT value_;
};

// COM for this thread for the length of one start.
class ComApartment {
public:
    explicit ComApartment(const ComFunctions& com) : com_(com) {
        const HRESULT result = com_.coInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        // S_FALSE: already initialised here, which still needs its balancing call.
        initialised_ = SUCCEEDED(result);
    }
    ~ComApartment() { if (initialised_) com_.coUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    bool initialised() const { return initialised_; }

private:
    const ComFunctions& com_;
    bool initialised_ = false;
};

// The desktop window's shell view, and through it the shell's automation
// object, which lives in the desktop shell's process.
bool FindDesktopShellDispatch(const ComFunctions& com, IShellDispatch2** shellDispatch) {
    ComRef<IShellWindows> shellWindows;
    if (FAILED(com.coCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                    shellWindows.outVoid()))) {
        return false;
    }
    VARIANT location = EmptyVariant();
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VARIANT empty = EmptyVariant();
    long desktopWindow = 0;
    ComRef<IDispatch> desktop;
    // S_FALSE: no desktop window is registered (no shell running).
    if (shellWindows->FindWindowSW(&location, &empty, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                                   desktop.out()) != S_OK ||
        !desktop) {
        return false;
    }
    ComRef<IServiceProvider> services;
    ComRef<IShellBrowser> browser;
    ComRef<IShellView> view;
    ComRef<IDispatch> background;
    ComRef<IShellFolderViewDual> folderView;
    ComRef<IDispatch> application;
    return SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, services.outVoid())) &&
           SUCCEEDED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.outVoid())) &&
           SUCCEEDED(browser->QueryActiveShellView(view.out())) && view &&
           SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.outVoid())) &&
           SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, folderView.outVoid())) &&
           SUCCEEDED(folderView->get_Application(application.out())) && application &&
           SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(shellDispatch)));
}

}  // namespace

bool StartThroughDesktopShell(const std::wstring& file, const std::wstring& directory) {
    const ComFunctions com;
    if (!com.complete()) return false;
    const ComApartment apartment(com);
    if (!apartment.initialised()) return false;

    ComRef<IShellDispatch2> shell;
    if (!FindDesktopShellDispatch(com, shell.out()) || !shell) return false;

    const BstrVariant fileText(com, file);
    const BstrVariant noArguments(com, L"");
    const BstrVariant folder(com, directory);
    const BstrVariant verb(com, L"open");
    if (!fileText.valid() || !noArguments.valid() || !folder.valid() || !verb.valid()) return false;
    VARIANT show = EmptyVariant();
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    return SUCCEEDED(shell->ShellExecute(fileText.get().bstrVal, noArguments.get(), folder.get(), verb.get(), show));
}

}  // namespace lvm
