#include "app/directory/lists/VQPassiveFansCell.h"

#include "app/directory/internal/ScreenSupport.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"

using dv::internal::directory::screenWidth;
using dv::internal::directory::systemFont;
using dv::app::bodyTextColor;
using dv::app::pageBackgroundColor;

DV_DEFINE_CLASS(VQPassiveFansCell)

Ref<VQPassiveFansCell> VQPassiveFansCell::initWithStyle(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier)
{
    if (!UITableViewCell::initWithStyle(style, reuseIdentifier))
        return nil;
    createUI();
    return self<VQPassiveFansCell>();
}

void VQPassiveFansCell::createUI()
{
    const CGFloat width = screenWidth();
    m_contentLabel = alloc<UILabel>()->initWithFrame(CGRectMake(10, 7.5, width - 30, 30));
    m_contentLabel->setFont(systemFont(15));
    m_contentLabel->setTextColor(bodyTextColor());
    m_contentLabel->setTextAlignment(NSTextAlignmentCenter);
    contentView()->addSubview(m_contentLabel);

    auto arrow = alloc<UIImageView>()->initWithFrame(CGRectMake(width - 30, 12.5, 20, 20));
    arrow->setImage(UIImage::imageNamed("next"_ns));
    contentView()->addSubview(arrow);

    auto line = alloc<UIView>()->initWithFrame(CGRectMake(0, 44, width, 1));
    line->setBackgroundColor(pageBackgroundColor());
    contentView()->addSubview(line);
}

void VQPassiveFansCell::setSelected(bool selected, bool animated) { UITableViewCell::setSelected(selected, animated); }
