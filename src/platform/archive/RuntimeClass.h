#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace orvik {

class Archive;
class PersistentObject;

// The versionable flag of a schema: a reader accepts another schema of such a
// class and lets the object see it while it reads (Archive::GetObjectSchema).
inline constexpr uint32_t kVersionableSchema = 0x80000000u;
// Schema of classes that are run-time typed but never stored.
inline constexpr uint32_t kNoSchema = 0xFFFFu;

// Run-time description of a persistent class: its name, schema, base and a
// factory, so that archives can create objects by the name they read.
struct RuntimeClass {
    const char* className;
    uint32_t schema;
    const RuntimeClass* base;
    PersistentObject* (*create)(); // null for abstract classes

    bool IsDerivedFrom(const RuntimeClass* other) const;
    bool IsVersionable() const { return (schema & kVersionableSchema) != 0; }
    uint16_t StoredSchema() const { return static_cast<uint16_t>(schema & 0xFFFFu); }
    PersistentObject* CreateObject() const { return create ? create() : nullptr; }

    // The class registered under `name`, or null.
    static const RuntimeClass* FromName(std::string_view name);
    static void Register(const RuntimeClass* cls);
    static std::vector<const RuntimeClass*> All();
};

// Root of every object that can be created by class name or written to an
// archive.
class PersistentObject {
public:
    virtual ~PersistentObject() = default;
    virtual const RuntimeClass* GetRuntimeClass() const;
    virtual void Serialize(Archive& ar);

    bool IsKindOf(const RuntimeClass* cls) const;

    static const RuntimeClass runtimeClass;
};

template <class T> const RuntimeClass* RuntimeClassOf() { return &T::runtimeClass; }

// Registers a class object at static-initialisation time.
struct RuntimeClassRegistrar {
    explicit RuntimeClassRegistrar(const RuntimeClass* cls) { RuntimeClass::Register(cls); }
};

} // namespace orvik

// In the class body: run-time typing without creation by name.
#define ORVIK_DECLARE_DYNAMIC(cls)                                                                 \
public:                                                                                            \
    static const ::orvik::RuntimeClass runtimeClass;                                               \
    const ::orvik::RuntimeClass* GetRuntimeClass() const override { return &runtimeClass; }

// In the class body: run-time typing and creation by name.
#define ORVIK_DECLARE_SERIAL(cls)                                                                  \
    ORVIK_DECLARE_DYNAMIC(cls)                                                                     \
    static ::orvik::PersistentObject* CreateObject();

// In one source file.
#define ORVIK_IMPLEMENT_DYNAMIC(cls, baseCls, schemaValue)                                        \
    const ::orvik::RuntimeClass cls::runtimeClass{#cls, (schemaValue), &baseCls::runtimeClass,     \
                                                  nullptr};                                        \
    static const ::orvik::RuntimeClassRegistrar registrar_##cls{&cls::runtimeClass};

#define ORVIK_IMPLEMENT_SERIAL(cls, baseCls, schemaValue)                                         \
    ::orvik::PersistentObject* cls::CreateObject() { return new cls; }                             \
    const ::orvik::RuntimeClass cls::runtimeClass{#cls, (schemaValue), &baseCls::runtimeClass,     \
                                                  &cls::CreateObject};                             \
    static const ::orvik::RuntimeClassRegistrar registrar_##cls{&cls::runtimeClass};
