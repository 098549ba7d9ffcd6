#pragma once

#include "platform/archive/RuntimeClass.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <list>
#include <string>

namespace orvik {

// The reference-counted persistent base of nearly every model object.
//
// A heap object starts on the orphan list, which holds one reference to it,
// until its first AddRef adopts it (the count then reads 1, held by the
// caller's RefPtr). Objects nobody adopts are deleted by the exit sweep with a
// line in the diagnostics log. An object embedded in another object or on the
// stack holds one reference to itself, so no release ever deletes it.
//
// Counts and state bits are atomic: engine threads share clips and pictures
// with the user-interface thread.
class RefObject : public PersistentObject {
    ORVIK_DECLARE_SERIAL(RefObject)
public:
    static constexpr uint32_t kOnOrphanList = 0x1;
    static constexpr uint32_t kHeapObject = 0x2;

    RefObject();
    RefObject(const RefObject& other);
    // Assignment copies no count or state: those belong to the object itself.
    RefObject& operator=(const RefObject&) { return *this; }
    ~RefObject() override;

    int AddRef();
    int ReleaseRef();
    int RefCount() const { return refCount_.load(); }
    uint32_t StateBits() const { return stateBits_.load(); }
    bool IsOrphan() const { return (StateBits() & kOnOrphanList) != 0; }
    bool IsHeapObject() const { return (StateBits() & kHeapObject) != 0; }

    void Serialize(Archive& ar) override;
    // Diagnostics hooks.
    virtual void AssertValid() const {}
    virtual void DumpObject() const {}
    // A new heap copy of this object.
    virtual RefObject* Clone() const;

    // A short name of the object's class, for diagnostics.
    std::string TypeName() const;

    // Heap objects are created through these, which tell the constructor that
    // the object lives on the heap.
    static void* operator new(size_t size);
    static void operator delete(void* p) noexcept;

    // Deletes every object still on the orphan list, writing
    // "Deleting orphan <type>" for each. Called once at exit, and by tests.
    static void SweepOrphans();
    static size_t OrphanCount();

    // Objects made by a read that failed half-way are orphans nobody will
    // adopt: a reader takes a mark before it starts and, on failure, releases
    // every orphan its own thread made since (without the exit sweep's log
    // lines). Other threads' fresh objects are left alone.
    static uint64_t OrphanMark();
    static void ReleaseOrphansSince(uint64_t mark);

private:
    void Init();
    void PutOnOrphanList();
    void TakeOffOrphanList();

    std::atomic<int32_t> refCount_{0};
    std::atomic<uint32_t> stateBits_{0};
    std::list<RefObject*>::iterator orphanEntry_;
    uint64_t orphanSerial_ = 0;
    const void* orphanThread_ = nullptr; // the thread that made it
};

} // namespace orvik
