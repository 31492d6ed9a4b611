#pragma once
// A byte vector whose resize() leaves the new bytes uninitialised: for output that is written
// right after it is made room for, where zero-filling first would cost a pass over memory.
#include <memory>
#include <utility>
#include <vector>

namespace quillon {

template <class T>
class DefaultInitAllocator : public std::allocator<T> {
public:
    using value_type = T;
    template <class U>
    struct rebind {
        using other = DefaultInitAllocator<U>;
    };
    DefaultInitAllocator() noexcept = default;
    template <class U>
    DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}

    // Value-initialisation (what resize() asks for) becomes default-initialisation.
    template <class U>
    void construct(U* p) noexcept(noexcept(::new (static_cast<void*>(p)) U)) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using ByteBuffer = std::vector<unsigned char, DefaultInitAllocator<unsigned char>>;

} // namespace quillon
