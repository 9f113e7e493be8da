#include "tools/devserver/internal/WebPages.h"

#include "tools/devserver/internal/SeedData.h"

namespace dv::internal::devserver {

namespace {

std::string document(std::string_view title, std::string_view body)
{
    std::string html = "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                       "<title>";
    html += title;
    html += "</title><style>"
            "body{font-family:sans-serif;margin:0;padding:16px;color:#353434;background:#fff;line-height:1.6}"
            "h2{font-size:20px;margin:8px 0 16px}"
            "dl{margin:0}dt{font-weight:bold;margin-top:12px}dd{margin:4px 0 0}"
            ".letter{border:2px solid #d4a24c;border-radius:8px;padding:20px;background:#fffaf0}"
            ".seal{color:#c0392b;font-weight:bold;text-align:right;margin-top:24px}"
            ".muted{color:#9b9b9b}"
            // A date or a number is never broken across lines (at its hyphens).
            ".whole{white-space:nowrap}"
            // Buttons a finger hits: across the page, 44 px tall, in the bars' red.
            "button{display:block;box-sizing:border-box;width:100%;min-height:44px;margin:0;padding:9px 16px;"
            "font:inherit;font-size:17px;line-height:24px;color:#fff;background:#c83028;border:1px solid #c83028;"
            "border-radius:8px;-webkit-appearance:none;appearance:none}"
            "button:active{background:#ba2721;border-color:#ba2721}"
            "button.plain{color:#c83028;background:#fff}"
            "button.plain:active{background:#fbeae8}"
            "</style></head><body>";
    html += body;
    html += "</body></html>\n";
    return html;
}

} // namespace

std::string htmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::optional<std::string> helpPage(std::string_view type)
{
    auto contact = contactSeed();
    if (type == "1") {
        return document("联系我们",
            "<h2>联系我们</h2><dl>"
            "<dt>客服电话</dt><dd>" + contact.agentPhone + "（工作日 9:00-18:00）</dd>"
            "<dt>代理合作</dt><dd>" + contact.buyPhone + "</dd>"
            "<dt>客服信聊号</dt><dd>dovrelta_kefu</dd>"
            "<dt>官方网站</dt><dd>" + contact.site + "</dd>"
            "<dt>公司地址</dt><dd>杭州市西湖区示例路88号</dd></dl>");
    }
    if (type == "2") {
        return document("使用说明",
            "<h2>使用说明</h2><ol>"
            "<li><b>信聊加粉</b>：选择省份和城市后点“搜索”，再点“导入通讯录”，打开信聊的“添加手机联系人”即可加好友。</li>"
            "<li><b>精准加粉</b>：选择省份，输入手机号前七位，系统自动生成后四位。</li>"
            "<li><b>行业客源</b>：选择行业分类，查看公司名称和联系电话，可一键导入通讯录。</li>"
            "<li><b>二维码</b>：在群、个人、公众号列表中点开二维码，长按图片保存到相册，再到信聊扫一扫。</li>"
            "<li><b>上传二维码</b>：在列表页点右下角按钮，填写标题、地区、信聊号和介绍，选择二维码图片后上传，每天可更新一次。</li>"
            "</ol><p class=\"muted\">导入前建议先备份通讯录；“删除当前通讯录”会删除所有联系人且不可恢复。</p>");
    }
    if (type == "3") {
        return document("常见问题",
            "<h2>常见问题</h2><dl>"
            "<dt>为什么导入的号码在信聊里搜不到？</dt><dd>部分号码没有开通信聊，属于正常情况，可以多导入几批。</dd>"
            "<dt>上传的二维码多久能展示？</dt><dd>上传成功后立即展示在对应列表的第一页。</dd>"
            "<dt>为什么提示“一天只能更新一次”？</dt><dd>同一个信聊号每天只能刷新一次排名，请第二天再试。</dd>"
            "<dt>换一组是什么意思？</dt><dd>列表每次显示一组，点右上角按钮查看下一组，最后一组之后回到第一组。</dd>"
            "<dt>如何成为授权代理？</dt><dd>请拨打代理合作电话 " + contact.buyPhone + "，或在“授权代理查询”里核实代理身份。</dd>"
            "</dl>");
    }
    return std::nullopt;
}

std::string agentPage(const std::optional<AgentRecord>& agent, std::string_view agentNo)
{
    if (!agent) {
        return document("授权代理书",
            "<h2>授权代理查询</h2><p>未查询到信聊号为 <b>" + htmlEscape(agentNo)
                + "</b> 的授权代理信息。</p><p class=\"muted\">请核对信聊号是否输入正确；如有疑问请联系客服。</p>");
    }
    return document("授权代理书",
        "<div class=\"letter\"><h2>授权代理书</h2>"
        "<p>兹授权 <b>" + htmlEscape(agent->name) + "</b>（信聊号：" + htmlEscape(agent->agentNo) + "）为 Dovrelta "
        + htmlEscape(agent->region) + " <b>" + htmlEscape(agent->level) + "</b>，负责该地区的产品推广与客户服务。</p>"
        "<p>授权编号：<span class=\"whole\">" + htmlEscape(agent->letterNo) + "</span></p>"
        "<p>有效期：<span class=\"whole\">" + htmlEscape(agent->validFrom) + "</span> 至 <span class=\"whole\">"
        + htmlEscape(agent->validTo) + "</span></p>"
        "<p class=\"seal\">Dovrelta 运营中心</p></div>");
}

std::string categoryPage(const CategoryRecord& category, const std::string& bodyHtml)
{
    return document(htmlEscape(category.name), bodyHtml);
}

std::string consultPage()
{
    auto contact = contactSeed();
    return document("在线咨询",
        "<h2>在线咨询</h2><p>有任何问题，点击下方按钮联系客服，工作日 9:00-18:00 在线。</p>"
        "<p>客服电话：" + contact.agentPhone + "</p>"
        "<p><button onclick=\"consult()\">立即咨询</button></p>"
        "<p><button class=\"plain\" onclick=\"call('" + contact.agentPhone + "')\">拨打客服电话</button></p>"
        "<script>\n"
        "function appBridge() { return typeof LYAppSpeakController === 'undefined' ? null : LYAppSpeakController; }\n"
        "function consult() { var bridge = appBridge(); if (bridge) bridge.clickZiXunAction(); return bridge !== null; }\n"
        "function call(number) { var bridge = appBridge(); if (bridge) bridge.clickOnAndroid(number); return bridge !== null; }\n"
        "var bridgeAtLoad = appBridge();\n"
        "if (bridgeAtLoad) bridgeAtLoad.clickOnAndroid('consult');\n"
        "</script>");
}

std::string notFoundPage(std::string_view path)
{
    return document("页面不存在", "<h2>404</h2><p>页面不存在：" + htmlEscape(path) + "</p>");
}

std::string errorPage(int status)
{
    std::string code = std::to_string(status);
    return document("HTTP Status " + code, "<h2>HTTP Status " + code + "</h2><p>服务器内部错误，请稍后再试。</p>");
}

std::string maintenancePage()
{
    return document("系统维护中", "<h2>系统维护中</h2><p>服务器正在升级维护，请稍后再访问。</p>");
}

} // namespace dv::internal::devserver
