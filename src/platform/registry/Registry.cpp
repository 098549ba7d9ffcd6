#include "platform/registry/Registry.h"

#include "platform/fs/Places.h"

namespace orvik {

Registry::Registry(std::string folder)
    : folder_(std::move(folder)),
      user_(std::make_unique<RegistryFile>(JoinPath(folder_, kUserFileName),
                                           "Orvik settings, per-user tree. Written by Orvik.")),
      machine_(
          std::make_unique<RegistryFile>(JoinPath(folder_, kMachineFileName),
                                         "Orvik settings, machine-wide tree. Written by Orvik.")) {}

Registry::~Registry() = default;

std::string Registry::StorePath(RegistryTree tree) const {
    return tree == RegistryTree::currentUser ? user_->Path() : machine_->Path();
}

void Registry::SetReporter(Reporter reporter) {
    user_->SetReporter(reporter);
    machine_->SetReporter(std::move(reporter));
}

RegistryFile& Registry::TreeFile(RegistryTree tree) {
    return tree == RegistryTree::currentUser ? *user_ : *machine_;
}

RegistryKey Registry::OpenKey(RegistryTree tree, std::string_view path, bool create) {
    // The root of a tree holds only keys: it is never handed out.
    return RegistryKey(&TreeFile(tree), {}).OpenSubKey(path, create);
}

Registry::Batch::Batch(Registry& registry) : registry_(registry) {
    registry_.user_->BeginBatch();
    registry_.machine_->BeginBatch();
}

Registry::Batch::~Batch() {
    registry_.user_->EndBatch();
    registry_.machine_->EndBatch();
}

} // namespace orvik
