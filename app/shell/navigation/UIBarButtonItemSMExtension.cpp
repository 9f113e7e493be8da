#include "app/shell/navigation/UIBarButtonItemSMExtension.h"

#include "platform/base/NSString.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UIButton.h"

Ref<UIBarButtonItem> itemWithImage(const Ref<NSString>& image, const Ref<NSString>& highImage, const id& target, SEL action)
{
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setBackgroundImage(UIImage::imageNamed(image), UIControlStateNormal);
    button->setBackgroundImage(UIImage::imageNamed(highImage), UIControlStateHighlighted);
    CGRect frame = button->frame();
    if (auto picture = button->currentBackgroundImage())
        frame.size = picture->size();
    button->setFrame(frame);
    button->addTarget(target, action, UIControlEventTouchUpInside);
    return alloc<UIBarButtonItem>()->initWithCustomView(button);
}
