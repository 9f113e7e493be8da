#include "platform/ui/internal/BarButton.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UILabel.h"

DV_DEFINE_CLASS_WITH(UIBarButton, b)
{
    b.method("sendItemAction", "v16@0:8", [](UIBarButton& button, std::span<const id>) {
        if (auto item = button.item())
            item->sendAction();
        return nil;
    });
}

namespace {

// The platform's words for its system items (the application runs in Chinese).
const char* systemWord(UIBarButtonSystemItem item)
{
    switch (item) {
    case UIBarButtonSystemItemDone:
        return "完成";
    case UIBarButtonSystemItemCancel:
        return "取消";
    case UIBarButtonSystemItemEdit:
        return "编辑";
    case UIBarButtonSystemItemSave:
        return "存储";
    case UIBarButtonSystemItemAdd:
        return "+";
    case UIBarButtonSystemItemCompose:
        return "编写";
    case UIBarButtonSystemItemReply:
        return "回复";
    case UIBarButtonSystemItemAction:
        return "共享";
    case UIBarButtonSystemItemOrganize:
        return "整理";
    case UIBarButtonSystemItemBookmarks:
        return "书签";
    case UIBarButtonSystemItemSearch:
        return "搜索";
    case UIBarButtonSystemItemRefresh:
        return "刷新";
    case UIBarButtonSystemItemStop:
        return "停止";
    case UIBarButtonSystemItemCamera:
        return "相机";
    case UIBarButtonSystemItemTrash:
        return "删除";
    case UIBarButtonSystemItemPlay:
        return "播放";
    case UIBarButtonSystemItemPause:
        return "暂停";
    case UIBarButtonSystemItemRewind:
        return "倒回";
    case UIBarButtonSystemItemFastForward:
        return "快进";
    case UIBarButtonSystemItemUndo:
        return "撤销";
    case UIBarButtonSystemItemRedo:
        return "重做";
    case UIBarButtonSystemItemPageCurl:
        return "翻页";
    case UIBarButtonSystemItemFlexibleSpace:
    case UIBarButtonSystemItemFixedSpace:
        break;
    }
    return "";
}

template <class T>
Ref<T> attribute(const Ref<NSDictionary>& attributes, const Ref<NSString>& name)
{
    return attributes ? dv::as<T>(attributes->objectForKey(name)) : nil;
}

} // namespace

Ref<UIBarButton> UIBarButton::buttonForItem(const Ref<UIBarButtonItem>& item)
{
    auto button = alloc<UIBarButton>();
    button->init();
    button->m_item = item;
    button->addTarget(button, "sendItemAction", UIControlEventTouchUpInside);
    button->update();
    return button;
}

void UIBarButton::update()
{
    auto item = this->item();
    if (!item)
        return;
    Ref<NSString> title = item->title();
    if (!title && !item->image() && item->systemItem())
        title = NSString::fromUTF8(systemWord(*item->systemItem()));
    setTitle(title, UIControlStateNormal);
    setImage(item->image(), UIControlStateNormal);
    setImageEdgeInsets(item->imageInsets());
    setBackgroundImage(item->backgroundImage(UIControlStateNormal, UIBarMetricsDefault), UIControlStateNormal);
    setEnabled(item->isEnabled());

    auto normal = item->titleTextAttributesForState(UIControlStateNormal);
    auto font = attribute<UIFont>(normal, NSFontAttributeName);
    if (!font)
        font = item->style() == UIBarButtonItemStyleDone ? UIFont::boldSystemFontOfSize(17) : UIFont::systemFontOfSize(17);
    titleLabel()->setFont(font);
    auto tint = item->tintColor() ? item->tintColor() : tintColor();
    auto colour = attribute<UIColor>(normal, NSForegroundColorAttributeName);
    setTitleColor(colour ? colour : tint, UIControlStateNormal);
    auto highlighted = attribute<UIColor>(item->titleTextAttributesForState(UIControlStateHighlighted), NSForegroundColorAttributeName);
    setTitleColor(highlighted ? highlighted : (colour ? colour : tint)->colorWithAlphaComponent(0.2), UIControlStateHighlighted);
    auto disabled = attribute<UIColor>(item->titleTextAttributesForState(UIControlStateDisabled), NSForegroundColorAttributeName);
    setTitleColor(disabled ? disabled : UIColor::colorWithWhite(0.5, 0.5), UIControlStateDisabled);
    if (const UIOffset offset = item->titlePositionAdjustment(UIBarMetricsDefault); offset != m_titleOffset) {
        m_titleOffset = offset;
        setNeedsLayout();
    }
}

void UIBarButton::didMoveToSuperview()
{
    UIButton::didMoveToSuperview();
    update(); // the bar's tint reaches it now
}

void UIBarButton::layoutSubviews()
{
    UIButton::layoutSubviews();
    if (!currentTitle() || m_titleOffset == UIOffsetZero)
        return;
    titleLabel()->setFrame(CGRectOffset(titleLabel()->frame(), m_titleOffset.horizontal, m_titleOffset.vertical));
}
