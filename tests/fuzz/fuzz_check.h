// What the fuzz targets share: a check that stops the run at a broken
// invariant, and small helpers over FuzzedDataProvider.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <string>
#include <vector>

// libFuzzer only notices a crash: a broken invariant prints where it broke and
// traps, so the input is saved like any other crash and replays the same way.
#define FUZZ_CHECK(condition)                                                               \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__,      \
                         #condition);                                                       \
            __builtin_trap();                                                               \
        }                                                                                   \
    } while (0)

namespace lvm::fuzz {

// A text in which half the characters come from `alphabet` (the characters
// that matter to the rule, so the interesting cases come up far more often
// than in random bytes) and the others are any ASCII character. Characters
// beyond ASCII come only through the alphabet. Each character is one byte of
// input, 0-127 as itself and 128-255 picking from the alphabet, so a seed
// can spell any text it needs (tests/fuzz/make_seeds.py does).
inline std::string PickText(FuzzedDataProvider& data, const char* alphabet, size_t maxLength) {
    const std::string letters = alphabet;
    std::string text;
    const size_t length = data.ConsumeIntegralInRange<size_t>(0, maxLength);
    for (size_t i = 0; i < length && data.remaining_bytes() > 0; ++i) {
        const uint8_t pick = data.ConsumeIntegral<uint8_t>();
        text += pick < 128 ? static_cast<char>(pick) : letters[(pick - 128) % letters.size()];
    }
    return text;
}

inline bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Lines end at CR LF, LF or a lone CR; text after the last end is a line too.
inline std::vector<std::string> SplitLines(const std::string& file) {
    std::vector<std::string> lines;
    std::string line;
    bool open = false;
    for (size_t i = 0; i < file.size(); ++i) {
        const char c = file[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            open = false;
            if (c == '\r' && i + 1 < file.size() && file[i + 1] == '\n') ++i;
        } else {
            line += c;
            open = true;
        }
    }
    if (open) lines.push_back(line);
    return lines;
}

}  // namespace lvm::fuzz
