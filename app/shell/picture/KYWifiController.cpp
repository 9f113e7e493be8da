#include "app/shell/picture/KYWifiController.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UIScrollView.h"

DV_DEFINE_CLASS_WITH(KYWifiController, b)
{
    b.method("goDownWifiApp", "v16@0:8", [](KYWifiController& page, std::span<const id>) {
        page.goDownWifiApp();
        return nil;
    });
}

Ref<KYWifiController> KYWifiController::init()
{
    DDYPPartentsController::init();
    return self<KYWifiController>();
}

void KYWifiController::viewDidLoad()
{
    DDYPPartentsController::viewDidLoad();
    myTitle()->setText("图片"_ns);

    const CGSize size = view()->frame().size;
    auto scrollView = alloc<UIScrollView>()->initWithFrame(view()->bounds());
    view()->addSubview(scrollView);
    CGFloat bottom = 0;
    for (int i = 0; i < 6; ++i) {
        auto picture = alloc<UIImageView>()->initWithFrame(
            CGRectMake(40, i * (size.height - 100) + 20, size.width - 80, size.height - 120));
        // A missing picture leaves its place empty.
        picture->setImage(UIImage::imageNamed(NSString::stringWithFormat("750_%d", i)));
        scrollView->addSubview(picture);
        bottom = CGRectGetMaxY(picture->frame());
    }
    scrollView->setContentSize(CGSizeMake(size.width, bottom + 80));
}

void KYWifiController::goDownWifiApp() { }
