#include "model/CListIterator.h"
#include "model/Notifier.h"
#include "model/Subscriber.h"
#include "model/XMemFile.h"

#include "platform/archive/Archive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvik {

namespace {

class Item : public RefObject {
public:
    explicit Item(int v) : value(v) {}
    int value;
};

struct Recorder : Subscriber {
    Recorder(std::vector<std::string>& log, std::string name) : log(log), name(std::move(name)) {}
    void Update(Notifier* n) override {
        log.push_back(name);
        if (leaveOnUpdate)
            n->Unsubscribe(this);
        if (removeOther)
            n->Unsubscribe(removeOther);
    }
    std::vector<std::string>& log;
    std::string name;
    bool leaveOnUpdate = false;
    Subscriber* removeOther = nullptr;
};

} // namespace

TEST(Notifier, SubscribersHearInOrderAndMayLeaveDuringUpdate) {
    std::vector<std::string> log;
    Recorder a(log, "a"), b(log, "b"), c(log, "c");
    Notifier n;
    n.Subscribe(&a);
    n.Subscribe(&b);
    n.Subscribe(&c);
    b.leaveOnUpdate = true;
    n.Notify();
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "c"}));
    log.clear();
    n.Notify();
    EXPECT_EQ(log, (std::vector<std::string>{"a", "c"}));

    // Removing an earlier subscriber during an update skips no one.
    log.clear();
    Recorder d(log, "d");
    n.Subscribe(&d);
    c.removeOther = &a;
    n.Notify();
    EXPECT_EQ(log, (std::vector<std::string>{"a", "c", "d"}));
    EXPECT_EQ(n.SubscriberCount(), 2u);
}

TEST(CListIterator, WalksBothWaysAndAlternatesConsistently) {
    RefList<Item> list;
    for (int i = 1; i <= 4; ++i)
        list.push_back(new Item(i));
    CListIterator<RefList<Item>, Item> it(list);
    auto v = [](Item* p) { return p ? p->value : 0; };

    EXPECT_EQ(it.Current(), nullptr);
    EXPECT_EQ(it.Index(), -1);
    EXPECT_EQ(v(it.Next()), 1); // from before the first
    EXPECT_EQ(v(it.Next()), 2);
    EXPECT_EQ(v(it.Next()), 3);
    EXPECT_EQ(it.Index(), 2);
    EXPECT_EQ(v(it.Prev()), 2); // turning back steps over 3
    EXPECT_EQ(v(it.Prev()), 1);
    EXPECT_EQ(v(it.Next()), 2);
    EXPECT_EQ(v(it.Current()), 2);
    EXPECT_EQ(v(it.Last()), 4);
    EXPECT_EQ(it.Index(), 3);
    EXPECT_EQ(v(it.Next()), 0); // past the end
    EXPECT_EQ(v(it.Next()), 0);
    EXPECT_EQ(v(it.First()), 1);
    EXPECT_EQ(v(it.Prev()), 0); // before the first
    EXPECT_EQ(it.Index(), -1);
    EXPECT_EQ(v(it.Next()), 1);

    RefList<Item> empty;
    CListIterator<RefList<Item>, Item> e(empty);
    EXPECT_EQ(e.First(), nullptr);
    EXPECT_EQ(e.Last(), nullptr);
    EXPECT_EQ(e.Next(), nullptr);
    EXPECT_EQ(e.Prev(), nullptr);
}

TEST(XMemFile, CompactTrimsTheBufferToTheLength) {
    XMemFile f;
    f.SetFilePath("/movies/a.orv");
    {
        Archive ar(f, Archive::store);
        ar.WriteText("hello");
        ar.WriteDword(7);
    }
    EXPECT_EQ(f.GetLength(), 10u);
    EXPECT_GT(f.BufferSize(), 10u);
    f.Compact();
    EXPECT_EQ(f.BufferSize(), 10u);
    EXPECT_EQ(f.GetFilePath(), "/movies/a.orv");
    f.SeekToBegin();
    Archive ar(f, Archive::load);
    EXPECT_EQ(ar.ReadText(), "hello");
    EXPECT_EQ(ar.ReadDword(), 7u);

    XMemFile empty;
    empty.Compact();
    EXPECT_EQ(empty.BufferSize(), 0u);
}

} // namespace orvik
