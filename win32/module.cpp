#include "win32/module.h"

#include <windows.h>

#include "win32/failure.h"

namespace win32 {

std::wstring ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) FailWithLastError(L"GetModuleFileNameW");
        // A full buffer may hold a cut path (XP does not even say so): only a
        // shorter answer is known to be whole.
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace win32
