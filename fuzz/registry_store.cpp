// Reads arbitrary bytes as a settings store file, through the text form and
// through a store file on disk (damage handling included).
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"

#include "platform/fs/File.h"
#include "platform/fs/Places.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvik;
    std::string_view text(reinterpret_cast<const char*>(data), size);

    RegistryStore store;
    std::vector<RegistryStore::Problem> problems;
    store.Parse(text, &problems);
    // What the store writes, it reads back the same, without complaint.
    std::string formatted = store.Format("fuzz");
    RegistryStore again;
    std::vector<RegistryStore::Problem> again_problems;
    again.Parse(formatted, &again_problems);
    if (!again_problems.empty() || again.Format("fuzz") != formatted)
        abort();

    // The same bytes as a store file: opening never fails, and the damaged
    // file is kept aside whole.
    std::string folder = JoinPath(Places::CacheFolder(), "fuzz-registry");
    if (!Places::EnsureFolder(folder))
        return 0;
    Registry registry(folder);
    std::string path = registry.StorePath(RegistryTree::currentUser);
    ::remove((path + ".damaged").c_str());
    if (!SafeFile::WriteAll(path, std::string(text)))
        return 0;
    RegistryKey key = registry.OpenKey(RegistryTree::currentUser, "Software/Torvane/Orvik", true);
    if (!key.IsOpen())
        abort();
    key.SetNumber("fuzz", 1);
    for (const std::string& name : key.SubKeyNames())
        key.OpenSubKey(name, false).ValueNames();
    if (!problems.empty()) {
        std::string kept;
        if (!File::ReadAll(path + ".damaged", kept) || kept != text)
            abort();
    }
    ::remove(path.c_str());
    ::remove((path + ".damaged").c_str());
    return 0;
}
