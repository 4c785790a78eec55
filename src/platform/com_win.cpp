#include "platform/com_win.h"

#include <cstring>

namespace derov {

Variant Variant::Text(std::wstring_view text) {
  Variant v;
  Bstr b(text);
  if (b.get()) {
    v.v_.vt = VT_BSTR;
    v.v_.bstrVal = b.release();
  }
  return v;
}

Variant Variant::Long(LONG value) {
  Variant v;
  v.v_.vt = VT_I4;
  v.v_.lVal = value;
  return v;
}

Variant Variant::Bool(bool value) {
  Variant v;
  v.v_.vt = VT_BOOL;
  v.v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

Variant Variant::ByteArray(const unsigned char* bytes, size_t count) {
  Variant v;
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(count));
  if (!array) return v;
  v.v_.vt = VT_ARRAY | VT_UI1;  // the variant owns the array from here on
  v.v_.parray = array;
  if (count == 0) return v;
  SafeArrayAccess access(array);
  if (access.data())
    std::memcpy(access.data(), bytes, count);
  else
    VariantClear(&v.v_);
  return v;
}

std::wstring Variant::AsText() const {
  if (v_.vt == VT_BSTR)
    return v_.bstrVal ? std::wstring(v_.bstrVal, SysStringLen(v_.bstrVal)) : std::wstring();
  Variant converted;
  if (FAILED(VariantChangeType(converted.put(), const_cast<VARIANT*>(&v_), 0, VT_BSTR))) return {};
  return converted.AsText();
}

double Variant::AsNumber() const {
  if (v_.vt == VT_I4) return v_.lVal;
  Variant converted;
  if (FAILED(VariantChangeType(converted.put(), const_cast<VARIANT*>(&v_), 0, VT_R8))) return 0;
  return converted.v_.dblVal;
}

std::vector<unsigned char> Variant::AsBytes() const {
  if (v_.vt != (VT_ARRAY | VT_UI1) || !v_.parray || SafeArrayGetDim(v_.parray) != 1) return {};
  LONG lower = 0, upper = -1;
  if (FAILED(SafeArrayGetLBound(v_.parray, 1, &lower)) ||
      FAILED(SafeArrayGetUBound(v_.parray, 1, &upper)) || upper < lower)
    return {};
  SafeArrayAccess access(v_.parray);
  if (!access.data()) return {};
  const auto* first = static_cast<const unsigned char*>(access.data());
  return std::vector<unsigned char>(first, first + (static_cast<size_t>(upper - lower) + 1));
}

}  // namespace derov
