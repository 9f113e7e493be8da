#include "tools/sim/Tour.h"

namespace dv::sim {

const std::string& tourScript()
{
    static const std::string tour = R"(# The tour: every screen of the application, one picture each.
launch
screenshot launch
# The home screen: the strip of pictures and the tiles of the categories the application keeps.
wait-for 加粉
wait-for 图片
screenshot home
# A picture of the strip, full screen, and a tap that puts it away.
tap-at 90 200
screenshot home-picture
tap-at 90 200
expect 加粉
# A news message while the application is in use: the alert, then the news page.
push {"aps": {"alert": "本周新增群二维码三百个，欢迎查看。"}, "pushType": 0, "title": "每周通知", "addTime": "2026-12-07 10:00"}
wait-for 收到一条推送消息
screenshot push-alert
alert 去查看
wait-for 每周通知
screenshot news
back
expect-screen VQMainViewController
)";
    return tour;
}

} // namespace dv::sim
