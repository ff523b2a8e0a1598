#include "timesync/servers.h"

namespace lanchuan {

const char* const kServerList[kServerCount] = {
    "http://www.ntsc.ac.cn",     "http://www.aliyun.com", "http://www.360.cn",
    "http://www.sogou.com",      "http://www.baidu.com",  "http://www.sina.com.cn",
    "http://www.onlinedown.net",
};

}  // namespace lanchuan
