#include "tools/sim/Tour.h"

namespace dv::sim {

const std::string& tourScript()
{
    static const std::string tour = R"(# The tour: every screen of the application, one picture each.
launch
screenshot launch
# The home screen: the strip of pictures and the tiles of the categories the application keeps
# (wait-idle waits for the tiles' pictures too).
wait-for 加粉
wait-for 图片
wait-idle
screenshot home
# A picture of the strip, full screen, and a tap that puts it away.
tap-image listFirend
screenshot home-picture
tap-image listFirend
expect 加粉
# The prospect screens behind the kept tiles: numbers by region, imported into the address book;
# numbers by province and prefix; the industry categories and one category's customers.
tap 加粉
wait-idle
tap 请选择地区
wait-idle
spin 0 18
spin 1 2
screenshot prospect-region
tap 完成
tap 搜索
wait-idle
screenshot prospect-list
tap 导入通讯录
alert 确认
wait-for 导入成功
screenshot prospect-imported now
back
back
tap 精准加粉
wait-idle
tap 请选择地区
wait-idle
spin 0 1
tap 完成
focus 请输入手机号前七位
type 1380555
hide-keyboard
tap 搜索
wait-idle
screenshot prospect-exact-list
back
back
tap 行业客源
wait-idle
screenshot prospect-categories
tap 服装鞋帽
wait-idle
screenshot prospect-industry-list
back
back
expect-screen VQMainViewController
# The three QR-code lists and their pages. The home opens them from tiles of other names than
# the prospect tiles (`dovrelta-sim --tiles directory` lists those); they are opened here as those
# tiles would, under their own titles.
open VQAddGroupViewController 群二维码
wait-idle
screenshot group-list
tap-row 0
wait-idle
screenshot group-detail
tap 下一个
wait-idle
screenshot group-detail-next
# A long press on the code offers to save it to the photo album.
long-press-image pic/qrcode/
alert 保存二维码
wait-for 已保存到相册
screenshot group-detail-saved now
back
# The list's upload form, filled in as a person would (the region on the wheels, the picture from
# the album), uploaded; the form closes and the list shows the new code first when opened again.
tap-image fatiezi
wait-idle
screenshot upload-form
# A title with emoji, in colour, with the caret right after them; typed over with the plain one.
focus 请输入标题
type 周末👍🏽徒步🇨🇳群👨‍👩‍👧
screenshot upload-form-emoji
delete 8
type 周末徒步群
tap 请选择
wait-idle
spin 0 18
spin 1 2
tap 完成
focus 请输入信聊号
type hike2026
focus 请输入介绍
type 每周六早上出发，欢迎新人。
hide-keyboard
tap-image addphoto
alert 相册
pick-image
wait-idle
screenshot upload-form-filled
tap 上传更新(一天只能更新一次)
wait-idle
expect-screen VQAddGroupViewController
back
open VQAddGroupViewController 群二维码
wait-for 周末徒步群
wait-idle
screenshot group-list-uploaded
# The next batch of the list.
tap-bar right
wait-idle
screenshot group-list-next-batch
back
open VQPassiveFansVC 个人二维码
wait-idle
screenshot personal-list
tap-row 2
wait-idle
screenshot personal-detail
tap 上一个
wait-idle
screenshot personal-detail-previous
back
back
open VQAddPublicViewController 公众号
wait-idle
screenshot public-list
tap-row 0
wait-idle
screenshot public-detail
back
back
expect-screen VQMainViewController
# The picture page behind the fixed tile.
tap 图片
wait-idle
screenshot picture-page
back
# The about screen (a tile of --tiles information), the web-site link, the help pages and the
# agent lookup.
open VQAboutvqViewController 关于我们
wait-for 查看使用说明
wait-idle
screenshot about
# The device number's edit menu (the number differs from device to device: tapped by its place),
# and its one command.
tap-at 100 121
screenshot about-menu
tap 拷贝
expect-no 拷贝
tap http://www.dovrelta.example/
expect-opened www.dovrelta.example
tap 查看使用说明
wait-idle
screenshot help-usage
back
tap 常见问题说明
wait-idle
screenshot help-questions
back
tap 查看联系方式
wait-idle
screenshot help-contact
back
tap 授权代理查询
wait-idle
focus 请输入代理商信聊号
type qinghe2016
screenshot agent-query
hide-keyboard
tap 查询
wait-idle
screenshot agent-letter
back
back
back
expect-screen VQMainViewController
# A news message while the application is in use: the alert, then the news page.
push {"aps": {"alert": "本周新增群二维码三百个，欢迎查看。"}, "pushType": 0, "title": "每周通知", "addTime": "2026-12-07 10:00"}
wait-for 收到一条推送消息
screenshot push-alert
alert 去查看
wait-for 每周通知
screenshot news
back
expect-screen VQMainViewController
# A link message: its alert, and the link handed to the system browser.
push {"aps": {"alert": "限时活动：上传二维码送推广位。"}, "pushType": 1, "title": "活动", "addTime": "2026-12-07 12:00", "info": "http://dovrelta.example/huodong"}
wait-for 限时活动：上传二维码送推广位。
screenshot push-link-alert
alert 去查看
expect-opened http://dovrelta.example/huodong
expect-screen VQMainViewController
# One that arrives while the application is in the background opens its page without an alert.
state background
push {"aps": {"alert": "您上传的二维码已通过审核。"}, "pushType": 0, "title": "审核通知", "addTime": "2026-12-07 18:30"}
state active
wait-for 审核通知
screenshot news-from-background
back
expect-screen VQMainViewController
)";
    return tour;
}

} // namespace dv::sim
