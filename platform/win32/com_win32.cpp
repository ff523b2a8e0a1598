#include "platform/win32/com_win32.h"

#include "platform/win32/fatal_win32.h"

namespace lanchuan::win32 {

namespace {

// decltype of the SDK's own declaration keeps the calling convention, which
// matters on 32-bit Windows (stdcall) and nowhere else.
#define LANCHUAN_SYSTEM_FUNCTION(library, name) \
  static const auto fn = require<decltype(&::name)>(library, #name)

}  // namespace

HRESULT co_initialize() {
  LANCHUAN_SYSTEM_FUNCTION("ole32.dll", CoInitialize);
  return fn(nullptr);
}

void co_uninitialize() {
  LANCHUAN_SYSTEM_FUNCTION("ole32.dll", CoUninitialize);
  fn();
}

void co_task_mem_free(void* memory) {
  LANCHUAN_SYSTEM_FUNCTION("ole32.dll", CoTaskMemFree);
  fn(memory);
}

HRESULT co_create_instance(REFCLSID clsid, DWORD context, REFIID iid, void** object) {
  LANCHUAN_SYSTEM_FUNCTION("ole32.dll", CoCreateInstance);
  return fn(clsid, nullptr, context, iid, object);
}

HRESULT clsid_from_prog_id(LPCOLESTR prog_id, CLSID* clsid) {
  LANCHUAN_SYSTEM_FUNCTION("ole32.dll", CLSIDFromProgID);
  return fn(prog_id, clsid);
}

BSTR sys_alloc_string_len(const OLECHAR* text, UINT length) {
  LANCHUAN_SYSTEM_FUNCTION("oleaut32.dll", SysAllocStringLen);
  return fn(text, length);
}

void sys_free_string(BSTR text) {
  LANCHUAN_SYSTEM_FUNCTION("oleaut32.dll", SysFreeString);
  fn(text);
}

UINT sys_string_len(BSTR text) {
  LANCHUAN_SYSTEM_FUNCTION("oleaut32.dll", SysStringLen);
  return fn(text);
}

void variant_init(VARIANT* v) {
  LANCHUAN_SYSTEM_FUNCTION("oleaut32.dll", VariantInit);
  fn(v);
}

HRESULT variant_clear(VARIANT* v) {
  LANCHUAN_SYSTEM_FUNCTION("oleaut32.dll", VariantClear);
  return fn(v);
}

#undef LANCHUAN_SYSTEM_FUNCTION

std::wstring to_wide(const std::string& narrow, UINT code_page) {
  if (narrow.empty()) return std::wstring();
  const int n =
      MultiByteToWideChar(code_page, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(code_page, 0, narrow.data(), static_cast<int>(narrow.size()), &wide[0], n);
  return wide;
}

std::string to_narrow(const std::wstring& wide, UINT code_page) {
  if (wide.empty()) return std::string();
  const int n = WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string narrow(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), &narrow[0], n,
                      nullptr, nullptr);
  return narrow;
}

}  // namespace lanchuan::win32
