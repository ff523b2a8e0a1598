// Proxy passwords in the Windows Credential Manager: one generic credential
// per proxy host, port and user, of the user who runs the program, kept
// across logons on this computer (and encrypted there for that user).
#pragma once

#include <string>

#include "timesync/proxy.h"

namespace lanchuan::win32 {

class CredentialProxyPasswords : public ProxyPasswords {
 public:
  bool store(const HttpProxy& proxy, std::string& error) override;
  bool find(HttpProxy& proxy) override;
};

}  // namespace lanchuan::win32
