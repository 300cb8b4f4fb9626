// The payload writer's rules over destination paths from the package: the
// temporary name, the kinds with a version rule, the "!" mark and the
// older-version question.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "lang/messages.h"
#include "payload/payload_rules.h"

namespace {

using lvm::TildeName;
using lvm::fuzz::PickText;

void CheckTildeName(const std::string& path) {
    const std::string temporary = TildeName(path);
    FUZZ_CHECK(temporary.size() == path.size() + 1);
    // Where the "~" went: the first difference, moved back over any "~"s the
    // name itself starts with (the insertion point is then ambiguous).
    size_t at = 0;
    while (at < path.size() && temporary[at] == path[at]) ++at;
    while (at > 0 && path[at - 1] == '~') --at;
    // Exactly one "~" put in, everything else kept in order.
    FUZZ_CHECK(temporary == path.substr(0, at) + "~" + path.substr(at));
    // It goes right after a backslash (or at the start), and no backslash
    // follows before the last character: the temporary file stays in the
    // destination's folder and only its own name changes.
    FUZZ_CHECK(at == 0 || path[at - 1] == '\\');
    const size_t nameEnd = path.empty() ? 0 : path.size() - 1;
    FUZZ_CHECK(at <= nameEnd);  // never after the last character: the name is never empty
    for (size_t i = at; i < nameEnd; ++i) FUZZ_CHECK(path[i] != '\\');
    FUZZ_CHECK(TildeName(path) == temporary);
}

void CheckKinds(const std::string& kind) {
    const bool known = kind == "exe" || kind == "pak" || kind == "3bs" || kind == "lng" || kind == "cok";
    FUZZ_CHECK(lvm::HasVersionRule(kind) == known);
}

void CheckQuestion(bool russian, const std::string& destination, const std::string& installed,
                   const std::string& fresh) {
    const lvm::TMessageText& row = lvm::MessageText(lvm::Message::OlderVersion);
    FUZZ_CHECK(row.caption == lvm::CaptionKind::SoundQuestion);
    const std::string text =
        lvm::FillMessage(russian ? row.russian : row.english, "caption", "title", {destination, installed, fresh});
    // The user must see the versions as they are, last the new one, whatever
    // placeholders the texts themselves carry.
    const std::string end = fresh + "?";
    FUZZ_CHECK(text.size() >= end.size());
    FUZZ_CHECK(text.compare(text.size() - end.size(), end.size(), end) == 0);
    if (!russian) FUZZ_CHECK(lvm::fuzz::StartsWith(text, destination + " file installing"));
    FUZZ_CHECK(text.find(destination) != std::string::npos);
    FUZZ_CHECK(text.find(installed) != std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const std::string path = PickText(data, "\\\\\\~!.: \xd0\x96", 64);
    CheckTildeName(path);
    FUZZ_CHECK(lvm::ComparesLngVersions(path) == (path.find('!') == std::string::npos));
    CheckKinds(PickText(data, "expaklngcok3bsEXE", 4));
    const bool russian = data.ConsumeBool();
    const std::string installed = PickText(data, "0123456789.", 16);
    const std::string fresh = PickText(data, "0123456789.", 16);
    CheckQuestion(russian, path, installed, fresh);
    return 0;
}
