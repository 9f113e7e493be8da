#include "platform/ui/UIProgressView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/internal/ViewFormat.h"

#include <algorithm>
#include <cmath>

DV_DEFINE_CLASS_WITH(UIProgressView, b)
{
    b.property<float>("progress", "Tf,N", [](const UIProgressView& v) { return v.progress(); },
        [](UIProgressView& v, float p) { v.setProgress(p); });
}

namespace {

constexpr CGFloat kBarHeight = 2;

} // namespace

Ref<UIProgressView> UIProgressView::init() { return initWithFrame(CGRectZero); }

Ref<UIProgressView> UIProgressView::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    setOpaque(false);
    return self<UIProgressView>();
}

Ref<UIProgressView> UIProgressView::initWithProgressViewStyle(UIProgressViewStyle style)
{
    m_style = style;
    return initWithFrame(CGRectMake(0, 0, 0, kBarHeight));
}

void UIProgressView::setProgressViewStyle(UIProgressViewStyle style)
{
    m_style = style;
    setNeedsDisplay();
}

void UIProgressView::setProgress(float progress) { setProgress(progress, false); }

void UIProgressView::setProgress(float progress, bool animated)
{
    progress = std::isnan(progress) ? 0.0f : std::clamp(progress, 0.0f, 1.0f);
    if (progress == m_progress)
        return;
    (void)animated; // the bar is redrawn at the new value either way
    m_progress = progress;
    setNeedsDisplay();
}

void UIProgressView::setProgressTintColor(const Ref<UIColor>& color)
{
    m_progressTintColor = color;
    setNeedsDisplay();
}

void UIProgressView::setTrackTintColor(const Ref<UIColor>& color)
{
    m_trackTintColor = color;
    setNeedsDisplay();
}

void UIProgressView::setProgressImage(const Ref<UIImage>& image)
{
    m_progressImage = image;
    setNeedsDisplay();
}

void UIProgressView::setTrackImage(const Ref<UIImage>& image)
{
    m_trackImage = image;
    setNeedsDisplay();
}

CGSize UIProgressView::sizeThatFits(CGSize size) const { return CGSizeMake(size.width > 0 ? size.width : bounds().size.width, kBarHeight); }

CGSize UIProgressView::intrinsicContentSize() const { return CGSizeMake(UIViewNoIntrinsicMetric, kBarHeight); }

void UIProgressView::drawRect(CGRect)
{
    const CGRect b = bounds();
    const CGRect filled = CGRectMake(b.origin.x, b.origin.y, b.size.width * m_progress, b.size.height);
    const CGRect rest = CGRectMake(CGRectGetMaxX(filled), b.origin.y, b.size.width - filled.size.width, b.size.height);
    if (m_trackImage) {
        m_trackImage->drawInRect(b);
    } else if (m_style != UIProgressViewStyleBar || m_trackTintColor) {
        (m_trackTintColor ? m_trackTintColor : UIColor::colorWithWhite(0.72, 1))->setFill();
        UIRectFill(rest);
    }
    if (m_progressImage) {
        m_progressImage->drawInRect(filled);
    } else {
        (m_progressTintColor ? m_progressTintColor : tintColor())->setFill();
        UIRectFill(filled);
    }
}

Ref<NSString> UIProgressView::accessibilityValue() const
{
    if (auto value = UIView::accessibilityValue())
        return value;
    return NSString::stringWithFormat("%d%%", int(std::lround(m_progress * 100)));
}

void UIProgressView::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    fields.emplace_back("progress", dv::internal::uikit::ViewFormat::number(m_progress));
    UIView::appendDescriptionFields(fields);
}
