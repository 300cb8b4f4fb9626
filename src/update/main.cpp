// The installer's entry point: everything else lives in the library the tests link.
#include <windows.h>

#include "update/entry.h"
#include "update/process_hardening.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    lvm::HardenProcess();
    return lvm::RunInstaller();
}
