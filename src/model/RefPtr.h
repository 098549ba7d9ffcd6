#pragma once

#include "model/RefObject.h"

#include <cstddef>
#include <type_traits>
#include <utility>

namespace orvik {

// Shared ownership of a RefObject: one reference per non-null pointer.
template <class T> class RefPtr {
public:
    RefPtr() = default;
    RefPtr(std::nullptr_t) {}
    RefPtr(T* p) : p_(p) {
        if (p_)
            p_->AddRef();
    }
    RefPtr(const RefPtr& o) : RefPtr(o.p_) {}
    RefPtr(RefPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    RefPtr(const RefPtr<U>& o) : RefPtr(static_cast<T*>(o.get())) {}
    ~RefPtr() {
        if (p_)
            p_->ReleaseRef();
    }

    RefPtr& operator=(T* p) {
        // The new target gains its reference before the old one loses its own,
        // so assigning an object to itself never deletes it.
        if (p)
            p->AddRef();
        T* old = p_;
        p_ = p;
        if (old)
            old->ReleaseRef();
        return *this;
    }
    RefPtr& operator=(const RefPtr& o) { return *this = o.p_; }
    RefPtr& operator=(RefPtr&& o) noexcept {
        if (this != &o) {
            T* old = p_;
            p_ = o.p_;
            o.p_ = nullptr;
            if (old)
                old->ReleaseRef();
        }
        return *this;
    }
    RefPtr& operator=(std::nullptr_t) { return *this = static_cast<T*>(nullptr); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() { *this = nullptr; }

    friend bool operator==(const RefPtr& a, const RefPtr& b) { return a.p_ == b.p_; }
    friend bool operator==(const RefPtr& a, const T* b) { return a.p_ == b; }
    friend bool operator==(const RefPtr& a, std::nullptr_t) { return a.p_ == nullptr; }

private:
    T* p_ = nullptr;
};

// Downcast by run-time class; null when the object is not a T.
template <class T, class U> T* DynamicCast(U* p) {
    return p && p->IsKindOf(RuntimeClassOf<T>()) ? static_cast<T*>(p) : nullptr;
}

} // namespace orvik
