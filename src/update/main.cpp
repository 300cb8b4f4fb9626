// The installer's entry point: everything else lives in the library the tests link.
#include <windows.h>

#include "update/entry.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return lvm::RunInstaller(); }
