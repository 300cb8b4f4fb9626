// The control for the planting test: a program that loads bcrypt.dll by name
// without restricting its DLL search, as any program did before the search
// could be limited. Beside a planted bcrypt.dll it must load the planted one,
// or the planting test could not tell protection from no planting at all.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HMODULE module = LoadLibraryW(L"bcrypt.dll");
    if (module) FreeLibrary(module);
    return module ? 0 : 1;
}
