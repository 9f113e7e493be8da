#include "app/directory/details/QRCodeDetailController.h"

#include "app/directory/internal/ScreenRequest.h"
#include "app/directory/internal/ScreenSupport.h"
#include "app/shell/models/VQPassiveModel.h"
#include "app/shell/server/ServerReply.h"
#include "app/shell/server/ServerRequests.h"
#include "app/shell/server/ServerSettings.h"
#include "foundation/identity/model/MMModel.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/base/NSValue.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/RemoteImageLimit.h"
#include "platform/graphics/UIImage.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLConnection.h"
#include "platform/net/NSURLRequest.h"
#include "platform/system/PhotoAlbum.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UILongPressGestureRecognizer.h"
#include "platform/ui/UIWindow.h"
#include "ui/images/UIImageViewWebCache.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

#include <algorithm>
#include <limits>

using namespace dv::internal::directory;

namespace dv::app {

namespace {

constexpr NSInteger kSaveSheetTag = 101;
constexpr NSInteger kSaveButtonIndex = 0;

const char* const kIdentifiers[] = { "cellZero", "cellTwo", "cellThree", "cellOne" };

Ref<UILabel> bodyLabel(CGRect frame, const Ref<NSString>& text)
{
    auto label = alloc<UILabel>()->initWithFrame(frame);
    label->setFont(systemFont(15));
    label->setTextColor(bodyTextColor());
    label->setText(text);
    return label;
}

// "区域  广东省广州市": a row's label word, two blanks and the value (nothing for a missing one).
Ref<NSString> labelledText(const Ref<NSString>& label, const Ref<NSString>& value)
{
    return NSString::stringWithFormat("%@  %@", label, textOrEmpty(value));
}

// The height of `text` in the system font of 15 wrapped at `width`.
CGFloat textHeight(const Ref<NSString>& text, CGFloat width)
{
    auto attributes = NSDictionary::of({ { NSFontAttributeName, systemFont(15) } });
    const CGSize bounds = CGSizeMake(width, std::numeric_limits<float>::max());
    return boundingRectWithSize(text, bounds, NSStringDrawingUsesLineFragmentOrigin, attributes, nil).size.height;
}

// Why a fetched picture cannot go to the album; nil when it can.
Ref<NSString> unusablePictureReason(const Ref<NSData>& data, const Ref<NSURLResponse>& response, const Ref<NSError>& error,
    const Ref<UIImage>& image)
{
    if (error)
        return NSString::stringWithFormat("%@", error);
    auto http = dv::as<NSHTTPURLResponse>(response);
    if (http && (http->statusCode() < 200 || http->statusCode() > 299))
        return NSString::stringWithFormat("HTTP status %ld", static_cast<long>(http->statusCode()));
    if (!data || data->length() == 0)
        return "no data"_ns;
    if (!image)
        return "the data is not a picture"_ns;
    return nil;
}

} // namespace

QRCodeDetailController::~QRCodeDetailController() = default;

void QRCodeDetailController::setPosition(const Ref<NSString>& position) { m_position = dv::copyAs<NSString>(position); }

void QRCodeDetailController::setCodeId(const Ref<NSString>& codeId) { m_codeId = dv::copyAs<NSString>(codeId); }

void QRCodeDetailController::viewDidLoad()
{
    UIViewController::viewDidLoad();
    dv::app::layOutBelowBars(*this);
    setTitle("详情"_ns);
    view()->setBackgroundColor(pageBackgroundColor());
    requestDataWithId(m_codeId, m_position);
}

void QRCodeDetailController::createBottom()
{
    const CGFloat width = screenWidth();
    auto bar = alloc<UIView>()->initWithFrame(CGRectMake(0, screenHeight() - kBottomBarHeight - kTopBarsHeight, width, kBottomBarHeight));
    bar->setBackgroundColor(rgb(255, 244, 237));
    auto divider = alloc<UIView>()->initWithFrame(CGRectMake(width / 2, 5, 1, 39));
    divider->setBackgroundColor(rgb(244, 98, 113));
    bar->addSubview(divider);
    const std::pair<const char*, const char*> buttons[] = { { "上一个", "lastAction:" }, { "下一个", "nextAction:" } };
    CGFloat x = 0;
    for (const auto& [title, action] : buttons) {
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        button->setFrame(CGRectMake(x, 0, width / 2, kBottomBarHeight));
        button->setTitle(NSString::fromUTF8(title), UIControlStateNormal);
        button->setTitleColor(rgb(244, 98, 113), UIControlStateNormal);
        button->titleLabel()->setFont(systemFont(15));
        button->addTarget(self(), action, UIControlEventTouchUpInside);
        bar->addSubview(button);
        x += width / 2;
    }
    view()->addSubview(bar);
}

void QRCodeDetailController::requestDataWithId(const Ref<NSString>& codeId, const Ref<NSString>& position)
{
    // The server gets empty fields for what the list's code lacked, and answers for itself. The
    // overlay is on the window, where a failed call's is taken down by the server client.
    auto page = self<QRCodeDetailController>();
    requestShowingLoading(codeDetailRequest(textOrEmpty(codeId), textOrEmpty(position)), applicationWindow(),
        FailedCallOverlay::LeftToServerClient, [page](const std::optional<ServerReply>& reply) {
            // A refusal, or a success without a code in it, leaves the page empty.
            if (auto code = page->codeFromReply(reply)) {
                page->m_detailModel = code;
                page->createTable();
            }
        });
}

void QRCodeDetailController::lastAction(const Ref<UIButton>&) { requestNeighbour(Neighbour::Previous); }

void QRCodeDetailController::nextAction(const Ref<UIButton>&) { requestNeighbour(Neighbour::Next); }

void QRCodeDetailController::requestNeighbour(Neighbour neighbour)
{
    // The code shown now, whichever the list opened.
    auto request = changeDetailRequest(textOrEmpty(m_detailModel ? m_detailModel->qrcodeId() : nil),
        textOrEmpty(m_detailModel ? m_detailModel->position() : nil), neighbour);
    auto page = self<QRCodeDetailController>();
    requestShowingLoading(request, view(), FailedCallOverlay::HideOnHost, [page](const std::optional<ServerReply>& reply) {
        // A refusal ("已经是最后一个了"), or a success without a code, keeps the code on screen.
        auto code = page->codeFromReply(reply);
        if (!code)
            return;
        if (page->m_tableView)
            page->m_tableView->removeFromSuperview();
        page->m_detailModel = code;
        page->createTable();
    });
}

Ref<VQPassiveModel> QRCodeDetailController::codeFromReply(const std::optional<ServerReply>& reply)
{
    if (!acceptReply(reply, view()))
        return nil;
    auto code = mm_modelWithDictionary<VQPassiveModel>(reply->infoDictionary());
    if (!code)
        PHProgressHUD::showError(reply->msg(), view());
    return code;
}

void QRCodeDetailController::createTable()
{
    m_tableView = alloc<UITableView>()->initWithFrame(CGRectMake(0, 0, screenWidth(), screenHeight() - kTopBarsHeight - kBottomBarHeight), UITableViewStyleGrouped);
    m_tableView->setDelegate(self<QRCodeDetailController>());
    m_tableView->setDataSource(self<QRCodeDetailController>());
    m_tableView->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    view()->addSubview(m_tableView);
}

std::optional<NSInteger> QRCodeDetailController::numberOfSectionsInTableView(const Ref<UITableView>&) { return 4; }

NSInteger QRCodeDetailController::tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger) { return 1; }

Ref<UITableViewCell> QRCodeDetailController::tableViewCellForRowAtIndexPath(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath)
{
    const NSInteger section = std::clamp<NSInteger>(indexPath->section(), 0, 3);
    auto identifier = NSString::fromUTF8(kIdentifiers[section]);
    // Every code gets a table of its own, so a free cell always shows this page's code.
    if (auto cell = tableView->dequeueReusableCellWithIdentifier(identifier))
        return cell;
    return makeCell(section, identifier);
}

Ref<UITableViewCell> QRCodeDetailController::makeCell(NSInteger section, const Ref<NSString>& identifier)
{
    auto cell = alloc<UITableViewCell>()->initWithStyle(UITableViewCellStyleDefault, identifier);
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    auto content = cell->contentView();
    const CGFloat width = screenWidth();
    auto code = m_detailModel;
    switch (section) {
    case 0: {
        auto title = bodyLabel(CGRectMake(20, 10, width - 40, 30), textOrEmpty(code ? code->title() : nil));
        title->setTextAlignment(NSTextAlignmentCenter);
        content->addSubview(title);
        break;
    }
    case 1: {
        content->addSubview(bodyLabel(CGRectMake(10, 10, width - 60, 30), labelledText("区域"_ns, code ? code->areaName() : nil)));
        auto line = alloc<UIView>()->initWithFrame(CGRectMake(0, 49, width, 1));
        line->setBackgroundColor(pageBackgroundColor());
        content->addSubview(line);
        content->addSubview(bodyLabel(CGRectMake(10, 60, width - 60, 30), labelledText(accountRowLabel(), code ? code->account() : nil)));
        break;
    }
    case 2: {
        content->addSubview(bodyLabel(CGRectMake(10, 10, 50, 20), "介绍"_ns));
        auto text = textOrEmpty(code ? code->descriptions() : nil);
        auto introduction = bodyLabel(CGRectMake(60, 10, width - 70, textHeight(text, width - 70)), text);
        introduction->setNumberOfLines(0);
        content->addSubview(introduction);
        break;
    }
    default: {
        auto frame = alloc<UIView>()->initWithFrame(CGRectMake((width - 260) / 2, 15, 260, 260));
        frame->layer()->setBorderWidth(1.2);
        frame->layer()->setBorderColor(pageBackgroundColor()->CGColor());
        frame->layer()->setCornerRadius(30);
        frame->layer()->setMasksToBounds(true);
        content->addSubview(frame);
        auto picture = alloc<UIImageView>()->initWithFrame(CGRectMake(13, 13, 237, 237));
        ri_setImageWithURL(picture, NSURL::URLWithString(textOrEmpty(code ? code->qrcodeImg() : nil)), Ref<UIImage>());
        picture->setUserInteractionEnabled(true);
        picture->addGestureRecognizer(alloc<UILongPressGestureRecognizer>()->initWithTarget(self(), "longpressAct:"));
        frame->addSubview(picture);
        break;
    }
    }
    return cell;
}

std::optional<CGFloat> QRCodeDetailController::tableViewHeightForRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>& indexPath)
{
    switch (indexPath->section()) {
    case 0:
        return 50;
    case 1:
        return 100;
    case 2:
        // Measured with the label word in front, so the row is at least as tall as the label.
        return textHeight(labelledText("介绍"_ns, m_detailModel ? m_detailModel->descriptions() : nil), screenWidth() - 70) + 20;
    default:
        return 290;
    }
}

std::optional<CGFloat> QRCodeDetailController::tableViewHeightForHeaderInSection(const Ref<UITableView>&, NSInteger) { return 0.1; }

std::optional<CGFloat> QRCodeDetailController::tableViewHeightForFooterInSection(const Ref<UITableView>&, NSInteger section)
{
    return section == 3 ? 230 : 6.6;
}

Ref<UIView> QRCodeDetailController::tableViewViewForFooterInSection(const Ref<UITableView>&, NSInteger section)
{
    if (section != 3)
        return nil;
    const CGFloat width = screenWidth();
    auto footer = alloc<UIView>()->initWithFrame(CGRectMake(0, 0, width, 230));
    footer->setBackgroundColor(pageBackgroundColor());
    auto hint = alloc<UILabel>()->initWithFrame(CGRectMake(10, 10, width - 20, 60));
    hint->setNumberOfLines(0);
    hint->setFont(systemFont(13));
    hint->setTextColor(rgb(155, 155, 155));
    hint->setText("如何加粉：长按图片保存到相册，然后到信聊里面读取二维码添加好友即可，建议一次保存多个二维码图片然后去信聊一起操作添加。"_ns);
    footer->addSubview(hint);
    footer->addSubview(actionButton(CGRectMake(60, 100, width / 4, 35), "上一个"_ns, 5, self(), "lastAction:"));
    footer->addSubview(actionButton(CGRectMake(width - 60 - width / 4, 100, width / 4, 35), "下一个"_ns, 5, self(), "nextAction:"));
    return footer;
}

void QRCodeDetailController::longpressAct(const Ref<UILongPressGestureRecognizer>& recognizer)
{
    // Only when the press begins: lifting the finger must not offer it a second time.
    if (!recognizer || recognizer->state() != UIGestureRecognizerStateBegan)
        return;
    auto sheet = alloc<UIActionSheet>()->initWithTitle(nil, self<QRCodeDetailController>(), "取消"_ns, nil, { "保存二维码"_ns });
    sheet->setTag(kSaveSheetTag);
    sheet->showInView(view());
}

bool QRCodeDetailController::actionSheetClickedButtonAtIndex(const Ref<UIActionSheet>& actionSheet, NSInteger buttonIndex)
{
    if (actionSheet && actionSheet->tag() == kSaveSheetTag && buttonIndex == kSaveButtonIndex)
        saveQRCodePicture();
    return true;
}

void QRCodeDetailController::saveQRCodePicture()
{
    // The picture is fetched again, not taken from the screen or the image cache. The interface
    // goes on meanwhile: the answer comes back to the main queue, at the latest after the
    // request's time-out. The page is kept until then, as its other requests keep it.
    auto url = NSURL::URLWithString(textOrEmpty(m_detailModel ? m_detailModel->qrcodeImg() : nil));
    auto request = url ? NSURLRequest::requestWithURL(url, NSURLRequestReloadIgnoringLocalCacheData, serverRequestTimeout()) : nil;
    auto page = self<QRCodeDetailController>();
    NSURLConnection::sendAsynchronousRequest(request, NSOperationQueue::mainQueue(),
        [page](const Ref<NSURLResponse>& response, const Ref<NSData>& data, const Ref<NSError>& error) {
            page->savePicture(response, data, error);
        });
}

void QRCodeDetailController::savePicture(const Ref<NSURLResponse>& response, const Ref<NSData>& data, const Ref<NSError>& error)
{
    // A picture of more pixels than any screen shows is not decoded at all: it would take the
    // memory of many.
    const bool oversized = data && dv::exceedsRemoteImageLimit(data);
    auto image = data && !oversized ? UIImage::imageWithData(data) : nil;
    // Only a whole picture goes to the album: a failed fetch, a bad status or bytes that are not
    // a picture end here, as a refused save does.
    if (auto reason = oversized ? "the picture has too many pixels"_ns : unusablePictureReason(data, response, error, image)) {
        NSLog("savefailed: %@", reason);
        PHProgressHUD::showError("保存失败"_ns, view());
        return;
    }
    UIImageWriteToSavedPhotosAlbum(image, self(), "image:didFinishSavingWithError:contextInfo:", nullptr);
}

void QRCodeDetailController::imageDidFinishSavingWithError(const Ref<UIImage>&, const Ref<NSError>& error, void*)
{
    if (error) {
        NSLog("savefailed");
        PHProgressHUD::showError("保存失败"_ns, view());
    } else {
        NSLog("savesuccess");
        // The success text too goes out with the error toast, as every toast of the screens does.
        PHProgressHUD::showError("已保存到相册"_ns, view());
    }
}

void QRCodeDetailController::didReceiveMemoryWarning() { UIViewController::didReceiveMemoryWarning(); }

DV_DEFINE_CLASS_WITH(QRCodeDetailController, b)
{
    b.method("lastAction:", "v24@0:8@16", [](QRCodeDetailController& page, std::span<const id> args) -> id {
        page.lastAction(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
    b.method("nextAction:", "v24@0:8@16", [](QRCodeDetailController& page, std::span<const id> args) -> id {
        page.nextAction(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
    b.method("longpressAct:", "v24@0:8@16", [](QRCodeDetailController& page, std::span<const id> args) -> id {
        page.longpressAct(args.empty() ? nil : dv::as<UILongPressGestureRecognizer>(args[0]));
        return nil;
    });
    b.method("image:didFinishSavingWithError:contextInfo:", "v40@0:8@16@24^v32",
        [](QRCodeDetailController& page, std::span<const id> args) -> id {
            auto image = args.size() > 0 ? dv::as<UIImage>(args[0]) : nil;
            auto error = args.size() > 1 ? dv::as<NSError>(args[1]) : nil;
            auto context = args.size() > 2 ? dv::as<NSValue>(args[2]) : nil;
            page.imageDidFinishSavingWithError(image, error, context ? const_cast<void*>(context->pointerValue()) : nullptr);
            return nil;
        });
}

} // namespace dv::app
