// A lock on a movable global-memory block for the length of one step.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstring>

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

// A new movable block holding size bytes of data followed by extra zero
// bytes; null when there is not the memory for it.
inline HGLOBAL CopyToGlobal(const uint8_t* data, size_t size, size_t extra = 0)
{
    HGLOBAL block = ::GlobalAlloc(GHND, size + extra);
    if (!block)
        return nullptr;
    LockedBlock<uint8_t> p(block);
    if (!p) {
        ::GlobalFree(block);
        return nullptr;
    }
    std::memcpy(p.get(), data, size);
    return block;
}
