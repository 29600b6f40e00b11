// Owning wrappers for the Win32 handles the program opens, so that every exit
// path closes them.
#pragma once

#include "platform/win32/win32.h"

#include <utility>

namespace kv {

// Moves like a unique_ptr; Close is a function object for the handle type and
// Invalid the value that means "no handle" for it.
template<typename H, typename Close, H Invalid()>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(H h) : h_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, Invalid())) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.h_, Invalid()));
        }
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    H Get() const { return h_; }
    bool Valid() const { return h_ != Invalid(); }
    explicit operator bool() const { return Valid(); }

    void Reset(H h = Invalid()) {
        if (h_ != Invalid()) {
            Close()(h_);
        }
        h_ = h;
    }
    H Release() { return std::exchange(h_, Invalid()); }

private:
    H h_ = Invalid();
};

namespace detail {
inline HANDLE InvalidHandleValue() { return INVALID_HANDLE_VALUE; }
template<typename T>
T NullOf() {
    return nullptr;
}

struct FindCloser {
    void operator()(HANDLE h) const { ::FindClose(h); }
};
struct HandleCloser {
    void operator()(HANDLE h) const { ::CloseHandle(h); }
};
struct GdiDeleter {
    void operator()(HGDIOBJ h) const { ::DeleteObject(h); }
};
struct IconDestroyer {
    void operator()(HICON h) const { ::DestroyIcon(h); }
};
struct RegKeyCloser {
    void operator()(HKEY h) const { ::RegCloseKey(h); }
};
struct ImageListDestroyer {
    void operator()(HIMAGELIST h) const { ::ImageList_Destroy(h); }
};
} // namespace detail

// FindFirstFileA search handle.
using FindHandle = UniqueHandle<HANDLE, detail::FindCloser, detail::InvalidHandleValue>;
// Process, thread and pipe handles, which are null when absent.
using KernelHandle = UniqueHandle<HANDLE, detail::HandleCloser, detail::NullOf<HANDLE>>;
// CreateFileA file handle.
using FileHandle = UniqueHandle<HANDLE, detail::HandleCloser, detail::InvalidHandleValue>;
using RegKeyHandle = UniqueHandle<HKEY, detail::RegKeyCloser, detail::NullOf<HKEY>>;
using FontHandle = UniqueHandle<HFONT, detail::GdiDeleter, detail::NullOf<HFONT>>;
using BrushHandle = UniqueHandle<HBRUSH, detail::GdiDeleter, detail::NullOf<HBRUSH>>;
using BitmapHandle = UniqueHandle<HBITMAP, detail::GdiDeleter, detail::NullOf<HBITMAP>>;
// Icons loaded with LR_DEFAULTSIZE or a size (not LR_SHARED) must be destroyed.
using IconHandle = UniqueHandle<HICON, detail::IconDestroyer, detail::NullOf<HICON>>;
// An image list that no control owns (controls never destroy the lists they are given,
// except a list view without LVS_SHAREIMAGELISTS).
using ImageListHandle = UniqueHandle<HIMAGELIST, detail::ImageListDestroyer, detail::NullOf<HIMAGELIST>>;

} // namespace kv
