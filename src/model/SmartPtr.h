#pragma once
// CSmartPtr<T>: the holder of a reference to a model object (T derives from CBaseReferable).
// Constructing from a pointer or copying takes a reference; assigning a different target takes
// the new reference first, then releases the old one; destroying releases. A pointer to a
// derived class converts to a pointer to its base, taking its own reference.
#include "model/BaseReferable.h"

#include <type_traits>
#include <utility>

namespace quillon {

template <class T> class CSmartPtr {
public:
    CSmartPtr() noexcept = default;
    // Implicit on purpose: a new model object is handed over as `CSmartPtr<T>(new T)` or `= new T`.
    CSmartPtr(T* target) noexcept : m_target(target) { Acquire(m_target); } // NOLINT
    CSmartPtr(const CSmartPtr& other) noexcept : m_target(other.m_target) { Acquire(m_target); }
    CSmartPtr(CSmartPtr&& other) noexcept : m_target(std::exchange(other.m_target, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    CSmartPtr(const CSmartPtr<U>& other) noexcept : m_target(other.Get()) { // NOLINT
        Acquire(m_target);
    }
    virtual ~CSmartPtr() { Drop(m_target); }

    CSmartPtr& operator=(const CSmartPtr& other) noexcept { return Assign(other.m_target); }
    CSmartPtr& operator=(T* target) noexcept { return Assign(target); }
    CSmartPtr& operator=(CSmartPtr&& other) noexcept {
        if (this != &other) {
            T* old = std::exchange(m_target, std::exchange(other.m_target, nullptr));
            Drop(old);
        }
        return *this;
    }

    T* Get() const noexcept { return m_target; }
    T* operator->() const noexcept { return m_target; }
    T& operator*() const noexcept { return *m_target; }
    explicit operator bool() const noexcept { return m_target != nullptr; }
    // Releases the reference (assigning away).
    void Reset() noexcept { Assign(nullptr); }

    friend bool operator==(const CSmartPtr& a, const CSmartPtr& b) noexcept {
        return a.m_target == b.m_target;
    }

private:
    static void Acquire(T* target) noexcept {
        if (target)
            static_cast<CBaseReferable*>(target)->AddRef();
    }
    static void Drop(T* target) noexcept {
        if (target)
            static_cast<CBaseReferable*>(target)->Release();
    }
    CSmartPtr& Assign(T* target) noexcept {
        if (target == m_target)
            return *this;
        Acquire(target);
        T* old = std::exchange(m_target, target);
        Drop(old);
        return *this;
    }

    T* m_target = nullptr;
};

} // namespace quillon
