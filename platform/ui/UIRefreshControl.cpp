#include "platform/ui/UIRefreshControl.h"

#include "platform/base/ClassBuilder.h"
#include "platform/graphics/UIColor.h"
#include "platform/ui/UIActivityIndicatorView.h"

DV_DEFINE_CLASS(UIRefreshControl)

namespace {

constexpr CGFloat kHeight = 60;

} // namespace

Ref<UIRefreshControl> UIRefreshControl::init() { return initWithFrame(CGRectMake(0, 0, 0, kHeight)); }

Ref<UIRefreshControl> UIRefreshControl::initWithFrame(CGRect frame)
{
    UIControl::initWithFrame(frame);
    setOpaque(false);
    m_indicator = alloc<UIActivityIndicatorView>()->initWithActivityIndicatorStyle(UIActivityIndicatorViewStyleGray);
    addSubview(m_indicator);
    return self<UIRefreshControl>();
}

void UIRefreshControl::beginRefreshing()
{
    m_refreshing = true;
    m_indicator->startAnimating();
}

void UIRefreshControl::endRefreshing()
{
    m_refreshing = false;
    m_indicator->stopAnimating();
}

void UIRefreshControl::setTintColor(const Ref<UIColor>& color)
{
    UIControl::setTintColor(color);
    if (!isAppearanceProxy())
        m_indicator->setColor(color);
}

void UIRefreshControl::layoutSubviews()
{
    UIControl::layoutSubviews();
    const CGRect b = bounds();
    m_indicator->setCenter(CGPointMake(CGRectGetMidX(b), CGRectGetMidY(b)));
}

void UIRefreshControl::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    if (m_refreshing)
        fields.emplace_back("refreshing", "");
    UIControl::appendDescriptionFields(fields);
}
