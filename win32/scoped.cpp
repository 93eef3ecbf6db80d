#include "win32/scoped.h"

#include <new>

namespace win32 {

Bstr::Bstr(const std::wstring& text) : text_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    // A null BSTR would pass for an empty string: never hand one on in its place.
    if (!text_) throw std::bad_alloc();
}

}  // namespace win32
