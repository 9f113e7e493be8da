#include "app/directory/prospects/VQBuyResourceCell.h"

#include "app/directory/internal/ScreenSupport.h"
#include "platform/base/ClassBuilder.h"
#include "platform/ui/UILabel.h"

using dv::internal::directory::screenWidth;
using dv::internal::directory::systemFont;
using dv::app::bodyTextColor;
using dv::app::pageBackgroundColor;
using dv::app::rgb;

DV_DEFINE_CLASS(VQBuyResourceCell)

Ref<VQBuyResourceCell> VQBuyResourceCell::initWithStyle(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier)
{
    if (!UITableViewCell::initWithStyle(style, reuseIdentifier))
        return nil;
    loadUI();
    return self<VQBuyResourceCell>();
}

void VQBuyResourceCell::loadUI()
{
    const CGFloat width = screenWidth();
    m_contentLabel = alloc<UILabel>()->initWithFrame(CGRectMake(10, 10, width - 20, 20));
    m_contentLabel->setFont(systemFont(15));
    m_contentLabel->setTextColor(bodyTextColor());
    contentView()->addSubview(m_contentLabel);

    m_lineView = alloc<UIView>()->initWithFrame(CGRectMake(0, 39.5, width, 1));
    m_lineView->setBackgroundColor(pageBackgroundColor());
    contentView()->addSubview(m_lineView);

    m_phoneLabel = alloc<UILabel>()->initWithFrame(CGRectMake(10, 45, 200, 30));
    m_phoneLabel->setFont(systemFont(15));
    m_phoneLabel->setTextAlignment(NSTextAlignmentLeft);
    m_phoneLabel->setTextColor(rgb(0, 169, 242));
    contentView()->addSubview(m_phoneLabel);
}
