// Small owners for Win32 handles, so a handle is let go on every way out of a scope.
#pragma once

#include <windows.h>
#include <objbase.h>

// A kernel or find handle closed by Close; null and INVALID_HANDLE_VALUE mean none.
template <BOOL(WINAPI* Close)(HANDLE)>
class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE handle) : handle(handle) {}
    ~ScopedHandle() {
        if (IsValid()) Close(handle);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    bool IsValid() const { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle; }

private:
    HANDLE handle;
};

using FileHandle = ScopedHandle<CloseHandle>;
using FindHandle = ScopedHandle<FindClose>;

// A zero-filled, fixed global memory block.
class GlobalMemory {
public:
    explicit GlobalMemory(SIZE_T size) : handle(GlobalAlloc(GMEM_ZEROINIT, size)) {}
    ~GlobalMemory() {
        if (handle) GlobalFree(handle);
    }
    GlobalMemory(const GlobalMemory&) = delete;
    GlobalMemory& operator=(const GlobalMemory&) = delete;
    HGLOBAL handle;
};

// Deleter for COM pointers held in a std::unique_ptr.
struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
