#include "e2e/support/update_fixture.h"

#include "update/update_config.h"
#include "update/update_file.h"

namespace lanchuan::e2e {

std::string make_update_file(const UpdateFileFields& f) {
  const std::string content = "#网站" + f.site + "网站#\r\n#状态文本" + f.status_text +
                              "状态文本#\r\n#状态网址" + f.status_address +
                              "状态网址#\r\n#最新版本" + f.latest_version +
                              "最新版本#\r\n#下载地址" + f.download_address + "下载地址#\r\n";
  return pack_update_data(content, kUpdatePassword);
}

}  // namespace lanchuan::e2e
