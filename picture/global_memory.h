// A lock on a movable global-memory block for the length of one step.
#pragma once
#include <windows.h>

template <typename T>
class LockedBlock {
public:
    explicit LockedBlock(HGLOBAL block)
        : block_(block), p_(block ? static_cast<T*>(::GlobalLock(block)) : nullptr)
    {
    }
    ~LockedBlock()
    {
        if (p_)
            ::GlobalUnlock(block_);
    }
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;

    explicit operator bool() const { return p_ != nullptr; }
    T* get() const { return p_; }
    T* operator->() const { return p_; }

private:
    HGLOBAL block_;
    T* p_;
};
