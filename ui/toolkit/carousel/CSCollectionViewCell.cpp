#include "ui/toolkit/carousel/CSCollectionViewCell.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "ui/toolkit/carousel/UIViewCSExtension.h"

DV_DEFINE_CLASS(CSCollectionViewCell)

CSCollectionViewCell::~CSCollectionViewCell() = default;

Ref<CSCollectionViewCell> CSCollectionViewCell::init() { return initWithFrame(CGRectZero); }

Ref<CSCollectionViewCell> CSCollectionViewCell::initWithFrame(CGRect frame)
{
    UICollectionViewCell::initWithFrame(frame);
    setupImageView();
    setupTitleLabel();
    return self<CSCollectionViewCell>();
}

void CSCollectionViewCell::setupImageView()
{
    auto imageView = alloc<UIImageView>()->init();
    m_imageView = imageView;
    contentView()->addSubview(imageView);
}

void CSCollectionViewCell::setupTitleLabel()
{
    auto titleLabel = alloc<UILabel>()->init();
    titleLabel->setHidden(true);
    m_titleLabel = titleLabel;
    contentView()->addSubview(titleLabel);
}

void CSCollectionViewCell::setTitle(const Ref<NSString>& title)
{
    m_title = dv::copyAs<NSString>(title);
    if (auto label = m_titleLabel.lock())
        label->setText(m_title ? NSString::stringWithFormat("   %@", m_title) : nil);
    setNeedsLayout();
}

void CSCollectionViewCell::setTitleLabelTextColor(const Ref<UIColor>& color)
{
    m_titleLabelTextColor = color;
    if (auto label = m_titleLabel.lock())
        label->setTextColor(color);
}

void CSCollectionViewCell::setTitleLabelTextFont(const Ref<UIFont>& font)
{
    m_titleLabelTextFont = font;
    if (auto label = m_titleLabel.lock())
        label->setFont(font);
}

void CSCollectionViewCell::setTitleLabelBackgroundColor(const Ref<UIColor>& color)
{
    m_titleLabelBackgroundColor = color;
    if (auto label = m_titleLabel.lock())
        label->setBackgroundColor(color);
}

void CSCollectionViewCell::setTitleLabelHeight(CGFloat height)
{
    m_titleLabelHeight = height;
    setNeedsLayout();
}

void CSCollectionViewCell::layoutSubviews()
{
    UICollectionViewCell::layoutSubviews();
    if (auto imageView = m_imageView.lock())
        imageView->setFrame(bounds());
    if (auto label = m_titleLabel.lock()) {
        label->setFrame(CGRectMake(0, cs_height(this) - m_titleLabelHeight, cs_width(this), m_titleLabelHeight));
        label->setHidden(!label->text());
    }
}
