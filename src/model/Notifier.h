#pragma once

#include <cstddef>
#include <vector>

namespace orvik {

class Subscriber;

// Sends change notifications to its subscribers, in the order they
// subscribed. It does not own them.
class Notifier {
public:
    Notifier() = default;
    Notifier(const Notifier&) : Notifier() {} // subscribers are not copied
    Notifier& operator=(const Notifier&) { return *this; }
    virtual ~Notifier();

    virtual void Subscribe(Subscriber* subscriber);
    virtual void Unsubscribe(Subscriber* subscriber);
    // Calls every subscriber's Update(this). A subscriber may unsubscribe
    // itself (or another) during its update; the walk goes on with the rest.
    virtual void Notify();

    size_t SubscriberCount() const { return subscribers_.size(); }

private:
    std::vector<Subscriber*> subscribers_;
    // Positions of the walks in progress (Notify may nest).
    std::vector<size_t*> walks_;
};

} // namespace orvik
