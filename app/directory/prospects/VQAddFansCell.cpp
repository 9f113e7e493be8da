#include "app/directory/prospects/VQAddFansCell.h"

#include "app/directory/internal/ScreenSupport.h"
#include "platform/base/ClassBuilder.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UILabel.h"

using dv::internal::directory::screenWidth;
using dv::internal::directory::systemFont;
using dv::app::pageBackgroundColor;
using dv::app::rgb;

DV_DEFINE_CLASS(VQAddFansCell)

Ref<VQAddFansCell> VQAddFansCell::initWithStyle(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier)
{
    if (!UITableViewCell::initWithStyle(style, reuseIdentifier))
        return nil;
    createUI();
    return self<VQAddFansCell>();
}

void VQAddFansCell::createUI()
{
    const CGFloat width = screenWidth();
    m_phoneBtn = UIButton::buttonWithType(UIButtonTypeCustom);
    m_phoneBtn->setFrame(CGRectMake(50, 10, width - 100, 30));
    m_phoneBtn->titleLabel()->setFont(systemFont(15));
    m_phoneBtn->titleLabel()->setTextAlignment(NSTextAlignmentCenter);
    m_phoneBtn->setTitleColor(rgb(0, 169, 242), UIControlStateNormal);
    contentView()->addSubview(m_phoneBtn);

    m_lineView = alloc<UIView>()->initWithFrame(CGRectMake(0, 49, width, 1));
    m_lineView->setBackgroundColor(pageBackgroundColor());
    contentView()->addSubview(m_lineView);
}
