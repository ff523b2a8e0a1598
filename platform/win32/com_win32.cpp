#include "platform/win32/com_win32.h"

namespace lanchuan::win32 {

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
