#pragma once

#include "platform/registry/RegistryFile.h"
#include "platform/registry/RegistryKey.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace orvik {

// The two registry trees: per-user preferences and machine-wide installation
// and hardware facts. Each lives in its own text file in one store folder
// (the settings folder unless told otherwise).
enum class RegistryTree { currentUser, localMachine };

// The registry of one store folder. Keys are named by paths whose components
// are separated by '/' or '\\' ("Software\\Torvane\\Orvik\\Install"). Keys
// handed out refer back to this object, which must outlive them.
class Registry {
public:
    using Reporter = RegistryFile::Reporter;

    static constexpr const char* kUserFileName = "registry-user.txt";
    static constexpr const char* kMachineFileName = "registry-machine.txt";

    explicit Registry(std::string folder);
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    const std::string& Folder() const { return folder_; }
    std::string StorePath(RegistryTree tree) const;

    // Receives one line per problem with the store files (damage, failed
    // saves). The settings send these to the diagnostics log. Called on the
    // thread that used the registry, after the tree's lock is released.
    void SetReporter(Reporter reporter);

    // Opens the key at `path`; with `create` the key and its parents are made
    // when missing. The result is not open (IsOpen false) when the key does
    // not exist and is not to be made, or when the path names no key.
    RegistryKey OpenKey(RegistryTree tree, std::string_view path, bool create);

    // Changes made while a batch lives are saved once, when it ends.
    class Batch {
    public:
        explicit Batch(Registry& registry);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        Registry& registry_;
    };

    RegistryFile& TreeFile(RegistryTree tree);

private:
    std::string folder_;
    std::unique_ptr<RegistryFile> user_;
    std::unique_ptr<RegistryFile> machine_;
};

} // namespace orvik
