#pragma once
// CBaseReferable: the base of every shared object of the collection model. It carries a plain
// reference count (the model is used by one thread only); CSmartPtr is the only holder of
// references.
#include <cstdint>

namespace quillon {

class CBaseReferable {
public:
    CBaseReferable() = default;
    // A copy is a new object: its count starts at 0 again.
    CBaseReferable(const CBaseReferable&) noexcept {}
    CBaseReferable& operator=(const CBaseReferable&) noexcept { return *this; }
    virtual ~CBaseReferable() = default;

    // Called once, just before the last reference deletes the object. An exception it raises
    // is swallowed.
    virtual void FinalRelease() {}

    std::int32_t GetRefCount() const noexcept { return m_refCount; }

    // For CSmartPtr. AddRef increases the count by 1. Release decreases a count greater than 0
    // by 1 and, when that reaches 0, calls FinalRelease and deletes the object; a count of 0 or
    // less is left alone and the object is not deleted.
    void AddRef() noexcept { ++m_refCount; }
    void Release() noexcept;

private:
    std::int32_t m_refCount = 0;
};

} // namespace quillon
