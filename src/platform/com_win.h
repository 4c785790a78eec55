#pragma once
// RAII for COM: the thread's initialisation, interface pointers, BSTR, VARIANT and access to
// a SAFEARRAY's data. None of them throws; a failed platform call leaves an empty value.

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <vector>

namespace derov {

// CoInitialize (single-threaded apartment) for the calling thread for the guard's life.
// CoUninitialize runs only when the initialisation succeeded: a thread that is already in
// another apartment keeps it.
class ComInitialisation {
 public:
  ComInitialisation() : result_(CoInitialize(nullptr)) {}
  ~ComInitialisation() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComInitialisation(const ComInitialisation&) = delete;
  ComInitialisation& operator=(const ComInitialisation&) = delete;

  bool succeeded() const { return SUCCEEDED(result_); }
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

// One reference to a COM interface, released when the holder lets go.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* adopted) : p_(adopted) {}
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(other.release()) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T* release() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  void reset(T* adopted = nullptr) {
    if (p_) p_->Release();
    p_ = adopted;
  }
  // For out-parameters: the old reference is released first.
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

 private:
  T* p_ = nullptr;
};

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::wstring_view text)
      : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~Bstr() { reset(); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : b_(other.release()) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  BSTR get() const { return b_; }
  // A BSTR carries its length and may hold zero characters.
  std::wstring_view view() const { return b_ ? std::wstring_view(b_, SysStringLen(b_)) : std::wstring_view(); }
  BSTR release() {
    BSTR b = b_;
    b_ = nullptr;
    return b;
  }
  void reset(BSTR adopted = nullptr) {
    if (b_) SysFreeString(b_);
    b_ = adopted;
  }
  BSTR* put() {
    reset();
    return &b_;
  }

 private:
  BSTR b_ = nullptr;
};

// A VARIANT that owns what it holds. Laid out as a bare VARIANT, so that an array of them
// can be handed to IDispatch::Invoke as its arguments.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  ~Variant() { VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
  Variant& operator=(Variant&& other) noexcept {
    if (this != &other) {
      VariantClear(&v_);
      v_ = other.v_;
      VariantInit(&other.v_);
    }
    return *this;
  }

  static Variant Text(std::wstring_view text);
  static Variant Long(LONG value);
  static Variant Bool(bool value);
  // A one-dimensional VT_UI1 array holding a copy of the bytes (empty when it cannot be made).
  static Variant ByteArray(const unsigned char* bytes, size_t count);

  const VARIANT& get() const { return v_; }
  VARIANT* put() {
    VariantClear(&v_);
    return &v_;
  }

  // What the variant holds, as the kind asked for; the empty value when it holds
  // something else that cannot be converted.
  std::wstring AsText() const;
  double AsNumber() const;
  std::vector<unsigned char> AsBytes() const;

 private:
  VARIANT v_;
};
static_assert(sizeof(Variant) == sizeof(VARIANT));

// SafeArrayAccessData for the guard's life; data() is null when access was refused.
class SafeArrayAccess {
 public:
  explicit SafeArrayAccess(SAFEARRAY* array) : array_(array) {
    if (array_ && FAILED(SafeArrayAccessData(array_, &data_))) data_ = nullptr;
  }
  ~SafeArrayAccess() {
    if (data_) SafeArrayUnaccessData(array_);
  }
  SafeArrayAccess(const SafeArrayAccess&) = delete;
  SafeArrayAccess& operator=(const SafeArrayAccess&) = delete;

  void* data() const { return data_; }

 private:
  SAFEARRAY* array_;
  void* data_ = nullptr;
};

}  // namespace derov
