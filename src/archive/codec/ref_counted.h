#pragma once
#include "archive/codec/com.h"

namespace archive {

// Reference counting for an object that shows the codec library the
// interfaces `Faces`. The count starts at 0 and is not atomic: each object
// lives on the one thread that runs open or extract.
template <class... Faces>
class RefCounted : public Faces... {
public:
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;
    virtual ~RefCounted() = default;

    ULONG AddRef() override { return ++count_; }

    ULONG Release() override
    {
        if (--count_ == 0) {
            delete this;
            return 0;
        }
        return count_;
    }

protected:
    RefCounted() = default;

    // QueryInterface over the faces `Answered`, the first of them also
    // standing for IUnknown: the face of that id with a new reference, or
    // E_NOINTERFACE and null for any other id.
    template <class First, class... Answered>
    HRESULT Answer(const IID& iid, void** object)
    {
        *object = nullptr;
        const auto offer = [&](auto* face, const IID& id) {
            if (!*object && iid == id) *object = face;
        };
        offer(static_cast<First*>(this), IID_IUnknown);
        offer(static_cast<First*>(this), First::kIid);
        (offer(static_cast<Answered*>(this), Answered::kIid), ...);
        if (!*object) return hresult::kNoInterface;
        ++count_;
        return hresult::kOk;
    }

private:
    ULONG count_ = 0;
};

}  // namespace archive
