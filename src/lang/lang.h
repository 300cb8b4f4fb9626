// Message language, the start switch and the two-language error message;
// start-up and shutdown of the process-wide objects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "environment/registry.h"

namespace lvm {

extern bool UseRussian;
extern std::string StartSwitch;
extern std::unique_ptr<TRegistry> SharedRegistry;

// Seeds the generator, chooses the language, describes Windows (for the
// 64-bit flag), creates SharedRegistry and keeps the first argument.
void CommonStartup();
// Frees SharedRegistry.
void CommonShutdown();

// Shows the English text under CaptionEn, or the Russian one under CaptionRu.
void ShowErrorMessage(const std::string& english, const std::string& russian);

// True for the seven locale identifiers that select Russian; the whole
// identifier is compared, sort identifier included.
bool IsRussianLocale(uint32_t lcid);

// Splits a command line as the runtime does: control characters and blanks
// separate arguments, a stretch between double quotes belongs to one argument
// and the quotes are dropped. The first element is the program itself.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Argument `index` (1 = first after the program) of this process's command
// line, ASCII capitals lowered; empty when there is none.
std::string LoweredArgument(size_t index);

}  // namespace lvm
