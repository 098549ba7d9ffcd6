#include "model/RefObject.h"

#include "app/DiagnosticsLog.h"

#include <cstdlib>
#include <cxxabi.h>
#include <mutex>
#include <new>
#include <typeinfo>
#include <vector>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(RefObject, PersistentObject, kVersionableSchema | 1)

namespace {

// Addresses handed out by operator new whose constructors have not run yet.
// Per thread, so threads that allocate model objects never confuse each
// other; nested allocations (an object created while building another's
// constructor arguments) stack up and unwind in order.
struct PendingAllocation {
    const char* begin;
    size_t size;
};
thread_local std::vector<PendingAllocation> pendingAllocations;
// Its address tells threads apart.
thread_local char threadToken;

struct OrphanList {
    std::mutex lock;
    std::list<RefObject*> entries;
    uint64_t serial = 0; // of the newest orphan
};

OrphanList& Orphans() {
    // Never destroyed: objects may still be released during process exit.
    static OrphanList* list = new OrphanList;
    return *list;
}

// True when `self` lies in the most recent pending allocation (the object
// may be a base sub-object that does not start the block).
bool PopPendingAllocation(const void* self) {
    if (pendingAllocations.empty())
        return false;
    const PendingAllocation& top = pendingAllocations.back();
    const char* p = static_cast<const char*>(self);
    if (p >= top.begin && p < top.begin + top.size) {
        pendingAllocations.pop_back();
        return true;
    }
    return false;
}

} // namespace

void* RefObject::operator new(size_t size) {
    void* p = ::operator new(size);
    pendingAllocations.push_back({static_cast<const char*>(p), size});
    return p;
}

void RefObject::operator delete(void* p) noexcept {
    // A constructor that threw leaves its address pending.
    PopPendingAllocation(p);
    ::operator delete(p);
}

void RefObject::Init() {
    refCount_ = 0;
    stateBits_ = 0;
    if (PopPendingAllocation(this)) {
        stateBits_ |= kHeapObject;
        PutOnOrphanList();
    } else {
        AddRef();
    }
}

RefObject::RefObject() { Init(); }

RefObject::RefObject(const RefObject&) : PersistentObject() {
    LogMessage("RefObject copy constructor invoked\n");
    // A copy is a new object: heap or embedded like any other.
    Init();
}

RefObject::~RefObject() {
    if (IsOrphan()) {
        // Deleted directly while still unadopted: keep the list sound.
        OrphanList& o = Orphans();
        std::lock_guard<std::mutex> guard(o.lock);
        if (stateBits_ & kOnOrphanList) {
            o.entries.erase(orphanEntry_);
            stateBits_ &= ~kOnOrphanList;
            --refCount_;
        }
    }
    if (!IsHeapObject())
        --refCount_;
    int32_t left = refCount_.load();
    if (left != 0)
        LogMessage("RefObject: destroying object with %d references\n", left);
}

void RefObject::PutOnOrphanList() {
    OrphanList& o = Orphans();
    std::lock_guard<std::mutex> guard(o.lock);
    if (stateBits_ & kOnOrphanList)
        return;
    o.entries.push_front(this);
    orphanEntry_ = o.entries.begin();
    orphanSerial_ = ++o.serial;
    orphanThread_ = &threadToken;
    ++refCount_;
    stateBits_ |= kOnOrphanList;
}

void RefObject::TakeOffOrphanList() {
    OrphanList& o = Orphans();
    {
        std::lock_guard<std::mutex> guard(o.lock);
        if (!(stateBits_ & kOnOrphanList))
            return; // another thread adopted it first
        stateBits_ &= ~kOnOrphanList;
        o.entries.erase(orphanEntry_);
    }
    // The list's reference; the caller's own keeps the object alive.
    ReleaseRef();
}

int RefObject::AddRef() {
    int n = ++refCount_;
    if (stateBits_.load() & kOnOrphanList) {
        TakeOffOrphanList();
        n = refCount_.load();
    }
    return n;
}

int RefObject::ReleaseRef() {
    int n = --refCount_;
    if (n == 0)
        delete this;
    return n;
}

void RefObject::Serialize(Archive&) {}

RefObject* RefObject::Clone() const { return new RefObject(*this); }

std::string RefObject::TypeName() const {
    const char* mangled = typeid(*this).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : mangled;
    free(demangled);
    // The class's own name, without its namespaces.
    size_t angle = name.find('<');
    size_t colons = name.rfind("::", angle == std::string::npos ? name.size() : angle);
    if (colons != std::string::npos)
        name.erase(0, colons + 2);
    return name;
}

void RefObject::SweepOrphans() {
    OrphanList& o = Orphans();
    std::list<RefObject*> doomed;
    {
        std::lock_guard<std::mutex> guard(o.lock);
        for (RefObject* obj : o.entries) {
            LogMessage("Deleting orphan %s\n", obj->TypeName().c_str());
            obj->stateBits_ &= ~kOnOrphanList;
        }
        doomed.swap(o.entries);
    }
    // Released outside the lock: destructors may release other objects, and
    // those may be orphans too.
    for (RefObject* obj : doomed)
        obj->ReleaseRef();
}

uint64_t RefObject::OrphanMark() {
    OrphanList& o = Orphans();
    std::lock_guard<std::mutex> guard(o.lock);
    return o.serial;
}

void RefObject::ReleaseOrphansSince(uint64_t mark) {
    OrphanList& o = Orphans();
    std::list<RefObject*> doomed;
    {
        std::lock_guard<std::mutex> guard(o.lock);
        for (auto it = o.entries.begin(); it != o.entries.end();) {
            RefObject* obj = *it;
            if (obj->orphanSerial_ > mark && obj->orphanThread_ == &threadToken) {
                obj->stateBits_ &= ~kOnOrphanList;
                doomed.push_back(obj);
                it = o.entries.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (RefObject* obj : doomed)
        obj->ReleaseRef();
}

size_t RefObject::OrphanCount() {
    OrphanList& o = Orphans();
    std::lock_guard<std::mutex> guard(o.lock);
    return o.entries.size();
}

} // namespace orvik
