#include "model/RefObject.h"
#include "model/RefPtr.h"

#include "app/DiagnosticsLog.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace orvik {

namespace {

std::atomic<int> liveProbes{0};

// Counts its instances so tests can see deletion.
class Probe : public RefObject {
    ORVIK_DECLARE_SERIAL(Probe)
public:
    Probe() { ++liveProbes; }
    Probe(const Probe& o) : RefObject(o), payload(o.payload) { ++liveProbes; }
    ~Probe() override { --liveProbes; }
    RefObject* Clone() const override { return new Probe(*this); }
    int payload = 0;
};

// Holds a probe by value, as a container object holds an embedded member.
struct Holder : public RefObject {
    Probe embedded;
};

std::string OpenTestLog() {
    EXPECT_TRUE(OpenLog(test::Home(), 0));
    return LogPath();
}

// The log's text after the banner's empty line and the machine lines.
std::string LogBody(const std::string& path) {
    CloseLog();
    std::string text = test::ReadFile(path);
    size_t pos = text.find("driver");
    pos = text.find("DirectDraw", pos);
    pos = text.find('\n', pos);
    return pos == std::string::npos ? text : text.substr(pos + 1);
}

} // namespace

ORVIK_IMPLEMENT_SERIAL(Probe, RefObject, kVersionableSchema | 1)

TEST(RefObject, HeapObjectAdoptedByOnePointerHasCountOne) {
    Probe* raw = new Probe;
    EXPECT_TRUE(raw->IsHeapObject());
    EXPECT_TRUE(raw->IsOrphan());
    EXPECT_EQ(raw->RefCount(), 1); // the orphan list's
    {
        RefPtr<Probe> p = raw;
        EXPECT_FALSE(raw->IsOrphan());
        EXPECT_EQ(raw->RefCount(), 1);
        RefPtr<Probe> q = p;
        EXPECT_EQ(raw->RefCount(), 2);
        q = p; // self-assignment through another pointer keeps the object
        EXPECT_EQ(raw->RefCount(), 2);
    }
    EXPECT_EQ(liveProbes, 0);
    EXPECT_EQ(RefObject::OrphanCount(), 0u);
}

TEST(RefObject, UnadoptedObjectsAreSweptAndLoggedAfterTheBanner) {
    std::string log = OpenTestLog();
    new Probe;
    new Probe;
    RefPtr<Probe> kept = new Probe;
    EXPECT_EQ(RefObject::OrphanCount(), 2u);
    RefObject::SweepOrphans();
    EXPECT_EQ(liveProbes, 1);
    EXPECT_EQ(RefObject::OrphanCount(), 0u);
    EXPECT_EQ(LogBody(log), "Deleting orphan Probe\nDeleting orphan Probe\n");
}

TEST(RefObject, EmbeddedObjectsHoldThemselvesAndLogImbalance) {
    std::string log = OpenTestLog();
    {
        Probe onStack;
        EXPECT_FALSE(onStack.IsHeapObject());
        EXPECT_EQ(onStack.RefCount(), 1);
        for (int i = 0; i < 5; ++i) {
            RefPtr<Probe> p = &onStack;
            EXPECT_EQ(onStack.RefCount(), 2);
        }
        EXPECT_EQ(onStack.RefCount(), 1); // never deleted by a release
        RefPtr<Holder> h = new Holder;
        EXPECT_FALSE(h->embedded.IsHeapObject());
        EXPECT_EQ(h->embedded.RefCount(), 1);
        EXPECT_TRUE(h->IsHeapObject());
    }
    EXPECT_EQ(LogBody(log), "");

    log = OpenTestLog();
    {
        Probe* leaked = nullptr;
        {
            Probe onStack;
            onStack.AddRef(); // a reference left behind when it goes
            leaked = &onStack;
        }
        (void)leaked;
    }
    EXPECT_EQ(LogBody(log), "RefObject: destroying object with 1 references\n");
}

TEST(RefObject, ClonesAreCountedAndFreedWithoutLimit) {
    std::string log = OpenTestLog();
    RefPtr<Probe> original = new Probe;
    original->payload = 42;
    std::vector<RefPtr<RefObject>> copies;
    for (int i = 0; i < 50; ++i) // far past any fixed nesting depth
        copies.push_back(original->Clone());
    for (auto& c : copies) {
        EXPECT_EQ(c->RefCount(), 1);
        EXPECT_TRUE(c->IsHeapObject());
        EXPECT_EQ(static_cast<Probe*>(c.get())->payload, 42);
    }
    // A copy embedded by value holds itself like any embedded object.
    { Probe byValue(*original); EXPECT_EQ(byValue.RefCount(), 1); }
    copies.clear();
    original.reset();
    EXPECT_EQ(liveProbes, 0);
    EXPECT_EQ(RefObject::OrphanCount(), 0u);
    std::string body = LogBody(log);
    EXPECT_EQ(body.find("destroying"), std::string::npos) << body;
    EXPECT_NE(body.find("RefObject copy constructor invoked\n"), std::string::npos);
}

TEST(RefObject, CountsHoldUnderThreads) {
    RefPtr<Probe> shared = new Probe;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                RefPtr<Probe> local = shared;
                // Every thread also makes and drops its own objects, whose
                // adoption goes through the shared orphan list.
                RefPtr<Probe> mine = new Probe;
                RefPtr<RefObject> copy = mine->Clone();
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(shared->RefCount(), 1);
    shared.reset();
    EXPECT_EQ(liveProbes, 0);
    EXPECT_EQ(RefObject::OrphanCount(), 0u);
}

TEST(RefObject, ConstructorThatThrowsLeavesNoPendingAllocation) {
    struct Throws : public RefObject {
        Throws() { throw 1; }
    };
    EXPECT_THROW(new Throws, int);
    // The next heap object is still recognised as one.
    RefPtr<Probe> p = new Probe;
    EXPECT_TRUE(p->IsHeapObject());
    EXPECT_EQ(p->RefCount(), 1);
}

} // namespace orvik

namespace orvik {

TEST(RefObject, OrphansOfAFailedReadAreReleasedAfterTheMark) {
    Probe* before = new Probe;
    uint64_t mark = RefObject::OrphanMark();
    new Probe;
    new Probe;
    RefPtr<Probe> adopted = new Probe;
    // Another thread's fresh object is not this reader's debris.
    Probe* other = nullptr;
    std::thread([&] { other = new Probe; }).join();
    EXPECT_EQ(liveProbes, 5);
    RefObject::ReleaseOrphansSince(mark);
    EXPECT_EQ(liveProbes, 3);
    EXPECT_TRUE(before->IsOrphan());
    EXPECT_TRUE(other->IsOrphan());
    RefObject::SweepOrphans();
    EXPECT_EQ(liveProbes, 1);
}

} // namespace orvik
