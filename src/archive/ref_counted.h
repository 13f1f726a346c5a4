#pragma once
#include "archive/com.h"

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

    // Hands out one face of this object with a new reference.
    template <class Face>
    HRESULT Hand(Face* face, void** object)
    {
        *object = face;
        ++count_;
        return hresult::kOk;
    }

    static HRESULT NoInterface(void** object)
    {
        *object = nullptr;
        return hresult::kNoInterface;
    }

private:
    ULONG count_ = 0;
};

}  // namespace archive
