#include "model/Notifier.h"

#include "model/Subscriber.h"

#include <algorithm>

namespace orvik {

Notifier::~Notifier() = default;

void Notifier::Subscribe(Subscriber* subscriber) { subscribers_.push_back(subscriber); }

void Notifier::Unsubscribe(Subscriber* subscriber) {
    auto it = std::find(subscribers_.begin(), subscribers_.end(), subscriber);
    if (it == subscribers_.end())
        return;
    size_t removed = static_cast<size_t>(it - subscribers_.begin());
    subscribers_.erase(it);
    // Walks past the removed entry step back with it.
    for (size_t* next : walks_)
        if (*next > removed)
            --*next;
}

void Notifier::Notify() {
    size_t next = 0;
    walks_.push_back(&next);
    struct Pop {
        std::vector<size_t*>& w;
        ~Pop() { w.pop_back(); }
    } pop{walks_};
    while (next < subscribers_.size()) {
        Subscriber* s = subscribers_[next++];
        s->Update(this);
    }
}

} // namespace orvik
