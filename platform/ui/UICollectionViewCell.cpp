#include "platform/ui/UICollectionViewCell.h"
#include "platform/ui/internal/ViewSlot.h"

#include "platform/base/ClassBuilder.h"

DV_DEFINE_CLASS(UICollectionViewCell)

Ref<UICollectionViewCell> UICollectionViewCell::initWithFrame(CGRect frame)
{
    UICollectionReusableView::initWithFrame(frame);
    m_contentView = alloc<UIView>()->initWithFrame(bounds());
    m_contentView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    addSubview(m_contentView);
    return self<UICollectionViewCell>();
}

void UICollectionViewCell::setBackgroundView(const Ref<UIView>& view)
{
    if (dv::internal::uikit::replaceViewInSlot(m_backgroundView, view, [&](const Ref<UIView>& background) { insertSubviewAtIndex(background, 0); }))
        setNeedsLayout();
}

void UICollectionViewCell::setSelectedBackgroundView(const Ref<UIView>& view)
{
    if (!dv::internal::uikit::replaceViewInSlot(m_selectedBackgroundView, view,
            [&](const Ref<UIView>& background) { insertSubviewBelowSubview(background, m_contentView); }))
        return;
    handleSelectionLook();
    setNeedsLayout();
}

void UICollectionViewCell::setSelected(bool selected)
{
    m_selected = selected;
    handleSelectionLook();
}

void UICollectionViewCell::setHighlighted(bool highlighted)
{
    m_highlighted = highlighted;
    handleSelectionLook();
}

void UICollectionViewCell::handleSelectionLook()
{
    if (m_selectedBackgroundView)
        m_selectedBackgroundView->setHidden(!(m_selected || m_highlighted));
}

void UICollectionViewCell::layoutSubviews()
{
    UICollectionReusableView::layoutSubviews();
    const CGRect b = bounds();
    m_contentView->setFrame(b);
    if (m_backgroundView)
        m_backgroundView->setFrame(b);
    if (m_selectedBackgroundView)
        m_selectedBackgroundView->setFrame(b);
}

void UICollectionViewCell::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    UICollectionReusableView::appendDescriptionFields(fields);
    if (m_selected)
        fields.emplace_back("selected", "");
    if (m_highlighted)
        fields.emplace_back("highlighted", "");
}
