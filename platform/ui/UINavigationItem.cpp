#include "platform/ui/UINavigationItem.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UINavigationBar.h"

DV_DEFINE_CLASS(UINavigationItem)

namespace {

std::vector<Ref<UIBarButtonItem>> itemsOf(const Ref<NSArray>& array)
{
    std::vector<Ref<UIBarButtonItem>> items;
    if (array)
        for (auto& object : array->items())
            if (auto item = dv::as<UIBarButtonItem>(object))
                items.push_back(item);
    return items;
}

Ref<NSArray> arrayOf(const std::vector<Ref<UIBarButtonItem>>& items)
{
    if (items.empty())
        return nil;
    return NSArray::fromVector(std::vector<id>(items.begin(), items.end()));
}

} // namespace

Ref<UINavigationItem> UINavigationItem::init() { return initWithTitle(nil); }

Ref<UINavigationItem> UINavigationItem::initWithTitle(const Ref<NSString>& title)
{
    NSObject::init();
    m_title = dv::copyAs<NSString>(title);
    return self<UINavigationItem>();
}

void UINavigationItem::handleChanged()
{
    if (auto bar = m_bar.lock())
        bar->setNeedsLayout();
}

void UINavigationItem::setTitle(const Ref<NSString>& title)
{
    m_title = dv::copyAs<NSString>(title);
    handleChanged();
}

void UINavigationItem::setTitleView(const Ref<UIView>& view)
{
    if (m_titleView == view)
        return;
    if (m_titleView && m_bar.lock() && m_titleView->superview() == m_bar.lock())
        m_titleView->removeFromSuperview();
    m_titleView = view;
    handleChanged();
}

void UINavigationItem::setBackBarButtonItem(const Ref<UIBarButtonItem>& item)
{
    m_backBarButtonItem = item;
    handleChanged();
}

void UINavigationItem::setHidesBackButton(bool hides) { setHidesBackButton(hides, false); }

void UINavigationItem::setHidesBackButton(bool hides, bool)
{
    m_hidesBackButton = hides;
    handleChanged();
}

void UINavigationItem::setLeftItemsSupplementBackButton(bool supplement)
{
    m_leftItemsSupplementBackButton = supplement;
    handleChanged();
}

Ref<UIBarButtonItem> UINavigationItem::leftBarButtonItem() const { return m_leftItems.empty() ? nil : m_leftItems.front(); }
Ref<UIBarButtonItem> UINavigationItem::rightBarButtonItem() const { return m_rightItems.empty() ? nil : m_rightItems.front(); }

void UINavigationItem::setLeftBarButtonItem(const Ref<UIBarButtonItem>& item) { setLeftBarButtonItem(item, false); }

void UINavigationItem::setLeftBarButtonItem(const Ref<UIBarButtonItem>& item, bool animated)
{
    setLeftBarButtonItems(item ? NSArray::of({item}) : nil, animated);
}

void UINavigationItem::setRightBarButtonItem(const Ref<UIBarButtonItem>& item) { setRightBarButtonItem(item, false); }

void UINavigationItem::setRightBarButtonItem(const Ref<UIBarButtonItem>& item, bool animated)
{
    setRightBarButtonItems(item ? NSArray::of({item}) : nil, animated);
}

Ref<NSArray> UINavigationItem::leftBarButtonItems() const { return arrayOf(m_leftItems); }
Ref<NSArray> UINavigationItem::rightBarButtonItems() const { return arrayOf(m_rightItems); }

void UINavigationItem::setLeftBarButtonItems(const Ref<NSArray>& items) { setLeftBarButtonItems(items, false); }

void UINavigationItem::setLeftBarButtonItems(const Ref<NSArray>& items, bool)
{
    m_leftItems = itemsOf(items);
    handleChanged();
}

void UINavigationItem::setRightBarButtonItems(const Ref<NSArray>& items) { setRightBarButtonItems(items, false); }

void UINavigationItem::setRightBarButtonItems(const Ref<NSArray>& items, bool)
{
    m_rightItems = itemsOf(items);
    handleChanged();
}
