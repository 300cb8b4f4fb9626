// Starting a program as the signed-in user from an elevated process: the
// desktop's own shell (Explorer, running with the user's unelevated token)
// is asked to open the file, so the program gets the user's rights, not ours.
#pragma once

#include <string>

namespace lvm {

// Asks the desktop shell to open `file` with `directory` as its current
// folder. False when there is no desktop shell to ask (none running, no shell
// automation, a session without a desktop) or it refused; nothing was started
// then. True means the shell took the request; it starts the program itself.
bool StartThroughDesktopShell(const std::wstring& file, const std::wstring& directory);

}  // namespace lvm
