#include "app/directory/internal/ProspectSearchParts.h"

#include "app/directory/internal/ScreenSupport.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UITapGestureRecognizer.h"

namespace dv::internal::directory {

namespace {

Ref<UIImageView> sign(CGRect frame, const Ref<NSString>& name)
{
    auto image = alloc<UIImageView>()->initWithFrame(frame);
    image->setImage(UIImage::imageNamed(name));
    return image;
}

} // namespace

Ref<UILabel> addRegionRow(const Ref<UIView>& view, const id& target, const SEL& action)
{
    const CGFloat width = screenWidth();
    auto row = alloc<UIView>()->initWithFrame(CGRectMake(0, 20, width, 80));
    row->setBackgroundColor(UIColor::whiteColor());
    row->setUserInteractionEnabled(true);
    row->addGestureRecognizer(alloc<UITapGestureRecognizer>()->initWithTarget(target, action));
    view->addSubview(row);

    row->addSubview(sign(CGRectMake(5, 30, 20, 20), "dizhi"_ns));
    auto name = alloc<UILabel>()->initWithFrame(CGRectMake(30, 25, 50, 30));
    name->setText("地区"_ns);
    name->setTextColor(bodyTextColor());
    name->setFont(systemFont(17));
    row->addSubview(name);
    auto region = alloc<UILabel>()->initWithFrame(CGRectMake(100, 25, 150, 30));
    region->setTextAlignment(NSTextAlignmentLeft);
    region->setTextColor(rgb(155, 155, 155));
    region->setFont(systemFont(17));
    region->setText(NSString::fromUTF8(kNoRegionText));
    row->addSubview(region);
    row->addSubview(sign(CGRectMake(width - 30, 30, 20, 20), "next"_ns));
    return region;
}

void addSearchButton(const Ref<UIView>& view, const id& target, const SEL& action)
{
    auto search = UIButton::buttonWithType(UIButtonTypeCustom);
    search->setFrame(CGRectMake(40, 260, screenWidth() - 80, 45));
    search->setBackgroundColor(rgb(131, 162, 251));
    search->setTitle("搜索"_ns, UIControlStateNormal);
    search->titleLabel()->setFont(systemFont(15));
    search->layer()->setCornerRadius(5);
    search->setClipsToBounds(true);
    search->addTarget(target, action, UIControlEventTouchUpInside);
    view->addSubview(search);
}

dv::app::PickerPanelLayout searchPanelLayout(CGFloat height)
{
    const CGFloat width = screenWidth();
    return {
        .panel = CGRectMake(0, screenHeight() - 285, width, height),
        .picker = CGRectMake(0, 0, width, 180),
        .cancelButton = CGRectMake(0, 180, width / 2, 40),
        .doneButton = CGRectMake(width / 2, 180, width / 2, 40),
    };
}

} // namespace dv::internal::directory
