#pragma once

#include "model/RefPtr.h"

#include <list>

namespace orvik {

// A list of reference pointers: the list holds one reference per element.
template <class T> using RefList = std::list<RefPtr<T>>;

// Walks a list of reference pointers in either direction, returning raw
// pointers (it holds no reference between calls). Alternating Next and Prev
// walk consistently: Prev after Next returns the element before the one Next
// returned.
template <class List, class T> class CListIterator {
public:
    using Position = typename List::iterator;

    explicit CListIterator(List& list) : list_(&list), next_(list.end()), current_(list.end()) {}
    virtual ~CListIterator() = default;

    virtual T* First() {
        current_ = list_->begin();
        index_ = current_ == list_->end() ? -1 : 0;
        direction_ = 0;
        SetNext();
        return At(current_);
    }

    virtual T* Next() {
        if (index_ < 0) {
            // Before the first element.
            current_ = list_->begin();
        } else if (current_ != list_->end()) {
            ++current_;
        } else {
            return nullptr; // already past the end
        }
        ++index_;
        direction_ = 0;
        SetNext();
        return At(current_);
    }

    virtual T* Last() {
        if (list_->empty()) {
            current_ = list_->end();
            index_ = -1;
        } else {
            current_ = std::prev(list_->end());
            index_ = static_cast<int>(list_->size()) - 1;
        }
        direction_ = 1;
        SetNext();
        return At(current_);
    }

    virtual T* Prev() {
        direction_ = 1;
        if (index_ < 0)
            return nullptr; // already before the first
        if (current_ == list_->begin()) {
            current_ = list_->end();
            index_ = -1;
            SetNext();
            return nullptr;
        }
        --current_;
        --index_;
        SetNext();
        return At(current_);
    }

    virtual T* Current() { return index_ < 0 ? nullptr : At(current_); }

    // Index of the current element; −1 before the first.
    int Index() const { return index_; }
    int Direction() const { return direction_; }
    Position CurrentPosition() const { return current_; }
    List& GetList() const { return *list_; }

protected:
    T* At(Position p) const { return p == list_->end() ? nullptr : p->get(); }

    void SetNext() {
        if (current_ == list_->end()) {
            next_ = index_ < 0 ? list_->begin() : list_->end();
        } else if (direction_ == 0) {
            next_ = std::next(current_);
        } else {
            next_ = current_ == list_->begin() ? list_->end() : std::prev(current_);
        }
    }

    // Re-points the iterator at `position` with `index` (for subclasses that
    // insert or remove while walking).
    void Reposition(Position position, int index) {
        current_ = position;
        index_ = index;
        SetNext();
    }

    List* list_;
    Position next_;
    Position current_;
    int index_ = -1;
    int direction_ = 0;
};

} // namespace orvik
