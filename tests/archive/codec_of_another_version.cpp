// A shared library with the codec library's two entry points that reports
// the version 27.00, a major version the extraction layer was not built for.
#include "archive/codec/com.h"

using archive::GUID;
using archive::HRESULT;
using archive::PROPID;
using archive::PROPVARIANT;
using archive::VT_UI4;

extern "C" {

__attribute__((visibility("default"))) HRESULT CreateObject(const GUID*, const GUID*, void** object)
{
    *object = nullptr;
    return platform::hresult::kNotImplemented;
}

__attribute__((visibility("default"))) HRESULT GetModuleProp(PROPID property, PROPVARIANT* value)
{
    if (property == 1) {
        value->vt = VT_UI4;
        value->ulVal = 27u << 16;
    }
    return platform::hresult::kOk;
}

}  // extern "C"
