// Update-information files for the tests, made with the product's own
// container code, and the fake update host they are served from.
#pragma once

#include <string>

namespace lanchuan::e2e {

struct UpdateFileFields {
  std::string site = "青禾";
  std::string status_text;
  std::string status_address;
  std::string latest_version = "3.5";
  std::string download_address;
};

// The encrypted file the update host serves.
std::string make_update_file(const UpdateFileFields& fields);

}  // namespace lanchuan::e2e
