#include "timesync/proxy_win32.h"

#include <windows.h>
// windows.h first: wincred.h depends on it.
#include <wincred.h>

#include "platform/win32/com_win32.h"

namespace lanchuan::win32 {
namespace {

// "LanchuanTimeSync proxy http://user@host:port": the user is part of the
// name, so that two users of one proxy keep two passwords.
std::wstring target_name(const HttpProxy& proxy) {
  return L"LanchuanTimeSync proxy " + to_wide(proxy_url_without_password(proxy));
}

}  // namespace

// CredWriteW with CRED_TYPE_GENERIC and CRED_PERSIST_LOCAL_MACHINE: "The
// credential persists for all subsequent logon sessions on this same
// computer. It is visible to other logon sessions of this same user on this
// same computer" (learn.microsoft.com, "CREDENTIALW structure"), which is how
// the elevated task, run as this user at logon, finds it.
bool CredentialProxyPasswords::store(const HttpProxy& proxy, std::string& error) {
  std::wstring target = target_name(proxy);
  std::wstring user = to_wide(proxy.user);
  const std::wstring password = to_wide(proxy.password);
  CREDENTIALW credential{};
  credential.Type = CRED_TYPE_GENERIC;
  credential.TargetName = &target[0];
  credential.UserName = &user[0];
  credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
  credential.CredentialBlobSize = static_cast<DWORD>(password.size() * sizeof(wchar_t));
  credential.CredentialBlob =
      reinterpret_cast<LPBYTE>(const_cast<wchar_t*>(password.data()));  // read only
  if (CredWriteW(&credential, 0)) return true;
  error = "the Credential Manager refused it (error " + std::to_string(GetLastError()) + ")";
  return false;
}

bool CredentialProxyPasswords::find(HttpProxy& proxy) {
  PCREDENTIALW credential = nullptr;
  if (!CredReadW(target_name(proxy).c_str(), CRED_TYPE_GENERIC, 0, &credential)) return false;
  const std::wstring password(reinterpret_cast<const wchar_t*>(credential->CredentialBlob),
                              credential->CredentialBlobSize / sizeof(wchar_t));
  CredFree(credential);
  proxy.password = to_narrow(password);
  proxy.password_given = true;
  return true;
}

}  // namespace lanchuan::win32
