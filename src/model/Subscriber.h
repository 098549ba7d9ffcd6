#pragma once

namespace orvik {

class Notifier;

// Receives change notifications from a Notifier it subscribed to.
class Subscriber {
public:
    // Called on the thread that calls Notify (the user-interface thread for
    // the model's notifiers).
    virtual void Update(Notifier* notifier) = 0;
    virtual ~Subscriber() = default;
};

} // namespace orvik
