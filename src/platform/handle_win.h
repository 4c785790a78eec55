#pragma once
// Owning wrappers for Windows handles. One template, told by a traits type which value
// means "no handle" and how to let one go: kernel handles come in two kinds (NULL-invalid
// from CreateEvent/CreateWaitableTimer/CreateProcess, INVALID_HANDLE_VALUE-invalid from
// CreateFile), and GDI objects are freed with DeleteObject.

#include <windows.h>

#include <utility>

namespace derov {

template <class Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }

  // Gives up ownership without closing.
  Handle release() noexcept { return std::exchange(handle_, Traits::Invalid()); }

  // Closes what is held (if anything) and takes the new handle.
  void reset(Handle handle = Traits::Invalid()) noexcept {
    const Handle old = std::exchange(handle_, handle);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

  // For APIs that return a handle through an out-parameter: whatever was held is closed
  // first, so the old handle cannot leak.
  Handle* put() noexcept {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct NullInvalidHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle handle) noexcept { CloseHandle(handle); }
};

struct InvalidValueHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) noexcept { CloseHandle(handle); }
};

template <class Object>
struct GdiObjectTraits {
  using Handle = Object;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle handle) noexcept { DeleteObject(handle); }
};

using ScopedHandle = UniqueHandle<NullInvalidHandleTraits>;      // events, timers, threads
using ScopedFileHandle = UniqueHandle<InvalidValueHandleTraits>;  // CreateFile and kin
using ScopedFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using ScopedBrush = UniqueHandle<GdiObjectTraits<HBRUSH>>;

}  // namespace derov
