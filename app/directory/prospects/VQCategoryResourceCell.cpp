#include "app/directory/prospects/VQCategoryResourceCell.h"

#include "app/directory/internal/ScreenSupport.h"
#include "platform/base/ClassBuilder.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UILabel.h"

using dv::internal::directory::screenWidth;
using dv::internal::directory::systemFont;
using dv::app::bodyTextColor;
using dv::app::pageBackgroundColor;

DV_DEFINE_CLASS(VQCategoryResourceCell)

Ref<VQCategoryResourceCell> VQCategoryResourceCell::initWithStyle(UITableViewCellStyle style, const Ref<NSString>& reuseIdentifier)
{
    if (!UITableViewCell::initWithStyle(style, reuseIdentifier))
        return nil;
    createCellUI();
    return self<VQCategoryResourceCell>();
}

void VQCategoryResourceCell::createCellUI()
{
    m_contentLabel = alloc<UILabel>()->initWithFrame(CGRectMake(30, 3, screenWidth() - 60, 44));
    m_contentLabel->layer()->setCornerRadius(10);
    m_contentLabel->setClipsToBounds(true);
    m_contentLabel->setBackgroundColor(pageBackgroundColor());
    m_contentLabel->setFont(systemFont(15));
    m_contentLabel->setTextColor(bodyTextColor());
    m_contentLabel->setTextAlignment(NSTextAlignmentCenter);
    contentView()->addSubview(m_contentLabel);
}
