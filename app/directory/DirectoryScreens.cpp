#include "app/directory/DirectoryScreens.h"

#include "app/directory/details/VQFunsDetailViewController.h"
#include "app/directory/details/VQGroupDetailViewController.h"
#include "app/directory/details/VQPublicDetailViewController.h"
#include "app/directory/lists/VQAddGroupViewController.h"
#include "app/directory/lists/VQAddPublicViewController.h"
#include "app/directory/lists/VQPassiveFansCell.h"
#include "app/directory/lists/VQPassiveFansVC.h"
#include "app/directory/prospects/VQAddFansSecondVC.h"
#include "app/directory/prospects/VQAddFansViewController.h"
#include "app/directory/prospects/VQBuyerResourceVC.h"
#include "app/directory/prospects/VQCategoryResourceVC.h"
#include "app/directory/prospects/VQCategoryResourcesNewVC.h"
#include "app/directory/prospects/VQExactCusSecondVC.h"
#include "app/directory/prospects/VQExactCustomerVC.h"
#include "app/directory/uploads/VQGroupAddCodeViewController.h"
#include "app/directory/uploads/VQPublicAddCodeViewController.h"
#include "app/directory/uploads/VQUploadQRCodeVC.h"

namespace dv::app {

void installDirectoryScreens()
{
    // Asking for a class registers it (once); the calls are what keeps the classes linked in.
    for (Class cls : { VQAddPublicViewController::class_(), VQPassiveFansVC::class_(), VQAddGroupViewController::class_(),
             VQPublicDetailViewController::class_(), VQFunsDetailViewController::class_(), VQGroupDetailViewController::class_(),
             VQPassiveFansCell::class_(), VQPublicAddCodeViewController::class_(), VQUploadQRCodeVC::class_(),
             VQGroupAddCodeViewController::class_(), VQAddFansSecondVC::class_(), VQExactCusSecondVC::class_(), VQBuyerResourceVC::class_(),
             VQCategoryResourcesNewVC::class_(), VQCategoryResourceVC::class_(), VQAddFansViewController::class_(),
             VQExactCustomerVC::class_() })
        (void)cls;
}

} // namespace dv::app
