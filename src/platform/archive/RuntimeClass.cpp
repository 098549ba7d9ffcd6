#include "platform/archive/RuntimeClass.h"

#include <map>
#include <mutex>
#include <string>

namespace orvik {

namespace {

struct Registry {
    std::mutex lock;
    std::map<std::string, const RuntimeClass*, std::less<>> byName;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

} // namespace

const RuntimeClass PersistentObject::runtimeClass{"PersistentObject", kNoSchema, nullptr, nullptr};

const RuntimeClass* PersistentObject::GetRuntimeClass() const { return &runtimeClass; }

void PersistentObject::Serialize(Archive&) {}

bool PersistentObject::IsKindOf(const RuntimeClass* cls) const {
    return GetRuntimeClass()->IsDerivedFrom(cls);
}

bool RuntimeClass::IsDerivedFrom(const RuntimeClass* other) const {
    for (const RuntimeClass* c = this; c; c = c->base)
        if (c == other)
            return true;
    return false;
}

void RuntimeClass::Register(const RuntimeClass* cls) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.byName.emplace(cls->className, cls);
}

const RuntimeClass* RuntimeClass::FromName(std::string_view name) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.byName.find(name);
    return it == r.byName.end() ? nullptr : it->second;
}

std::vector<const RuntimeClass*> RuntimeClass::All() {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    std::vector<const RuntimeClass*> out;
    for (auto& [name, cls] : r.byName)
        out.push_back(cls);
    return out;
}

} // namespace orvik
