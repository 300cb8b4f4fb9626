// The run's language: Russian for the users of seven locales, English for all
// others.
#pragma once

#include <cstdint>

namespace lvm {

// True for the seven locale identifiers that select Russian; the whole
// identifier is compared, sort identifier included.
bool IsRussianLocale(uint32_t lcid);

}  // namespace lvm
