// RAII for COM: interface pointers, BSTRs, VARIANTs and the apartment.
#pragma once

#include <windows.h>
// windows.h first: oleauto.h depends on it.
#include <oleauto.h>

#include <string>
#include <utility>

namespace lanchuan::win32 {

// The COM and Automation functions the programs use, looked up from the system
// folder at their first call and kept (ole32 and oleaut32 cost memory, and
// only some commands need them). Same signatures and calling convention as
// the SDK's declarations.
HRESULT co_initialize();
void co_uninitialize();
void co_task_mem_free(void* memory);
HRESULT co_create_instance(REFCLSID clsid, DWORD context, REFIID iid, void** object);
HRESULT clsid_from_prog_id(LPCOLESTR prog_id, CLSID* clsid);
BSTR sys_alloc_string_len(const OLECHAR* text, UINT length);
void sys_free_string(BSTR text);
UINT sys_string_len(BSTR text);
void variant_init(VARIANT* v);
HRESULT variant_clear(VARIANT* v);

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters: releases what is held first.
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
  explicit Bstr(const std::wstring& s)
      : b_(sys_alloc_string_len(s.data(), static_cast<UINT>(s.size()))) {}
  ~Bstr() { sys_free_string(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return b_; }
  // For out-parameters: frees what is held first.
  BSTR* put() {
    sys_free_string(std::exchange(b_, nullptr));
    return &b_;
  }
  std::wstring text() const { return std::wstring(b_, sys_string_len(b_)); }
  // Hands ownership over (to a VARIANT that will free it).
  BSTR release() { return std::exchange(b_, nullptr); }

 private:
  BSTR b_ = nullptr;
};

class Variant {
 public:
  Variant() { variant_init(&v_); }
  ~Variant() { variant_clear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &v_; }
  const VARIANT& ref() const { return v_; }

 private:
  VARIANT v_;
};

// One apartment for the thread's lifetime.
class ComApartment {
 public:
  ComApartment() : ok_(SUCCEEDED(co_initialize())) {}
  ~ComApartment() {
    if (ok_) co_uninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool ok_;
};

// Narrow text in the ANSI code page (GBK) to UTF-16 and back.
std::wstring to_wide(const std::string& narrow, UINT code_page = CP_ACP);
std::string to_narrow(const std::wstring& wide, UINT code_page = CP_ACP);

}  // namespace lanchuan::win32
