#include "payload/payload_writer.h"

#include <vector>

#include "common/scoped_handle.h"
#include "common/text.h"
#include "lang/lang.h"

namespace lvm {

namespace {
HMODULE g_resourceModule = nullptr;
}

void SetResourceModule(HMODULE module) { g_resourceModule = module; }
HMODULE ResourceModule() { return g_resourceModule ? g_resourceModule : GetModuleHandleW(nullptr); }

std::string TildeName(const std::string& path) {
    if (path.size() >= 2) {
        const size_t slash = path.find_last_of('\\', path.size() - 2);
        if (slash != std::string::npos) return path.substr(0, slash + 1) + "~" + path.substr(slash + 1);
    }
    return "~" + path;
}

// Interim writer: a direct write of the resource, no version handling yet.
PayloadOutcome WriteResourceToFile(const std::string& name, const std::string& kind,
                                   const std::string& destination, bool /*checkExisting*/) {
    const HMODULE module = ResourceModule();
    HRSRC found = FindResourceW(module, Widen(name).c_str(), Widen(kind).c_str());
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = found ? SizeofResource(module, found) : 0;
    bool ok = bytes != nullptr;
    if (ok) {
        ScopedHandle file(CreateFileW(Widen(destination).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        ok = file.valid() && WriteFile(file.get(), bytes, size, &written, nullptr) && written == size;
    }
    if (!ok) {
        ShowErrorMessage("Can't install file " + destination, "Не удается установить файл " + destination);
        return PayloadOutcome::Failed;
    }
    return PayloadOutcome::Written;
}

PayloadOutcome WriteSplitResourceToFile(const std::string& name, const std::string& kind,
                                        const std::string& destination) {
    (void)name;
    (void)kind;
    ShowErrorMessage("Can't install file " + destination, "Не удается установить файл " + destination);
    return PayloadOutcome::Failed;
}

}  // namespace lvm
