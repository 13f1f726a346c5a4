#pragma once
#include <utility>

namespace archive {

// Holds one reference to a COM-style object and releases it when dropped.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    // Takes a new reference on `object`.
    explicit ComPtr(T* object) : object_(object)
    {
        if (object_) object_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) {
            Reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { Reset(); }

    // Adopts a reference that was already counted for us (an out-parameter).
    static ComPtr Adopt(T* object)
    {
        ComPtr pointer;
        pointer.object_ = object;
        return pointer;
    }

    void Reset()
    {
        if (object_) std::exchange(object_, nullptr)->Release();
    }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};

}  // namespace archive
