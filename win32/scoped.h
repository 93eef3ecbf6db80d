// Windows only: scoped owners for the Win32 and COM resources of the program,
// its tests and its benchmarks.  Each frees its resource once, when it goes;
// none can be copied, the handle and key owners can be moved.
//
//   win32::Handle process(started.hProcess);           // CloseHandle
//   win32::RegistryKey key;                            // RegCloseKey
//   if (win32::OpenRegistryKey(HKEY_CURRENT_USER, L"Software\\X", KEY_READ, key) == ERROR_SUCCESS) ...
//   win32::UniqueFont font(CreateFontIndirectW(&logFont));   // DeleteObject
//   win32::ScreenDc screen;                            // GetDC(nullptr) / ReleaseDC
//   win32::Bstr name(L"StdRegProv");                   // SysFreeString
//   win32::Variant value;                              // VariantClear
//   object->Get(L"sValue", 0, value.Out(), nullptr, nullptr);
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <type_traits>
#include <utility>

namespace win32 {

// A kernel handle.  Both of the platform's "no handle" values, null and
// INVALID_HANDLE_VALUE (CreateFileW's), count as empty.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { Reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.handle_, nullptr));
        return *this;
    }

    HANDLE Get() const { return handle_; }
    bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    // Empties the owner and hands the address to a call that fills it.
    HANDLE* Out() {
        Reset();
        return &handle_;
    }
    void Reset(HANDLE handle = nullptr) {
        if (IsValid()) CloseHandle(handle_);
        handle_ = handle;
    }
    // Closes now, for a caller that must know whether the close worked (a
    // written file's last data may fail only here).
    [[nodiscard]] bool Close() {
        if (!IsValid()) return false;
        return CloseHandle(std::exchange(handle_, nullptr)) != FALSE;
    }

private:
    HANDLE handle_ = nullptr;
};

// An open registry key.  Never one of the predefined roots, which are not
// closed.
class RegistryKey {
public:
    RegistryKey() = default;
    explicit RegistryKey(HKEY key) : key_(key) {}
    ~RegistryKey() { Reset(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey(RegistryKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegistryKey& operator=(RegistryKey&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.key_, nullptr));
        return *this;
    }

    HKEY Get() const { return key_; }
    bool IsOpen() const { return key_ != nullptr; }
    void Reset(HKEY key = nullptr) {
        if (key_) RegCloseKey(key_);
        key_ = key;
    }

private:
    HKEY key_ = nullptr;
};

// RegOpenKeyExW into an owner, which holds the key only when the call
// answered ERROR_SUCCESS: what a failed call leaves in its out-parameter is
// never closed.
[[nodiscard]] inline LONG OpenRegistryKey(HKEY parent, const std::wstring& path, REGSAM rights, RegistryKey& key) {
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExW(parent, path.c_str(), 0, rights, &opened);
    key.Reset(result == ERROR_SUCCESS ? opened : nullptr);
    return result;
}

// GDI objects (fonts, brushes, bitmaps) go with DeleteObject, icons made by
// LoadImage or CreateIcon with DestroyIcon.
struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
template <typename GdiHandle>
using UniqueGdiObject = std::unique_ptr<std::remove_pointer_t<GdiHandle>, GdiObjectDeleter>;
using UniqueFont = UniqueGdiObject<HFONT>;

struct IconDeleter {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

// The screen's device context, for its resolution.
class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_) ReleaseDC(nullptr, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

class Bstr {
public:
    // Raises std::bad_alloc when the system has no memory for the text.
    explicit Bstr(const std::wstring& text);
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR Get() const { return text_; }

private:
    BSTR text_;
};

class Variant {
public:
    Variant() { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    // Empties the variant and hands it to a call that fills it.
    VARIANT* Out() {
        Clear();
        return &value_;
    }
    void Clear() {
        VariantClear(&value_);
        VariantInit(&value_);
    }
    VARIANT* Get() { return &value_; }
    const VARIANT& operator*() const { return value_; }
    const VARIANT* operator->() const { return &value_; }

private:
    VARIANT value_;
};

}  // namespace win32
