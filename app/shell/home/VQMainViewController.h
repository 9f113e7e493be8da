// VQMainViewController: the home screen, the root of the navigation stack. It asks home/index.do
// for the categories, keeps the three the application serves ("信聊加粉" shown as "加粉", "行业客源",
// "精准加粉"), and lays out a strip of three pictures (each opens full screen when tapped) above a
// grid of tiles, four to a row, with a fixed "图片" tile at the end. A tile opens the screen its
// keyword names, or the category's web page. While building the tiles it asks for access to the
// address book, waiting for the answer. After a network failure (time-out, no connection, server
// unreachable) a "点击重新加载" button sends the request again.
//
// The screens the tiles open live in folders above the shell; they are made by class name (see
// navigation/ScreenFactory.h), and a tile whose screen is not in this build opens nothing.
// Main thread only.
#pragma once

#include "platform/ui/UIAlertView.h"
#include "platform/ui/UIViewController.h"
#include "ui/toolkit/carousel/CSCycleScrollView.h"

class NSMutableArray;
class UIButton;
class UITapGestureRecognizer;

class VQMainViewController : public UIViewController, public UIAlertViewDelegate, public CSCycleScrollViewDelegate {
    DV_CLASS(VQMainViewController, UIViewController)

    VQMainViewController() = default;
    Ref<VQMainViewController> init();

    // The kept categories (VQMainBtnModel) in the server's order, and the advertisements
    // (VQAdModel); made on the first successful reply, never cleared.
    Ref<NSMutableArray> btnArray() const { return m_btnArray; }
    Ref<NSMutableArray> adArray() const { return m_adArray; }
    // The reload button shown after a network failure, or nil.
    Ref<UIButton> reloadBtn() const { return m_reloadBtn; }

    void viewDidLoad() override;

    void requestData();
    void reloadAct(const id& sender);
    void createUI();
    // Asks for the address book, blocking until the answer; a refusal shows an alert.
    void openRoot();
    // A tile's action: the screen or web page of the button's tag.
    void mainButtonClick(const Ref<UIButton>& button);
    // The fixed tile's action: the picture page.
    void gooooooooo();
    void goBigger(const Ref<UITapGestureRecognizer>& tap);
    void removeImage(const Ref<UITapGestureRecognizer>& tap);
    // A banner tap: the advertisement's web page. This screen shows no banner of its own.
    bool cycleScrollViewDidSelectItemAtIndex(const Ref<CSCycleScrollView>& cycleScrollView, NSInteger index) override;

private:
    void handleReply(const id& json);
    void handleFailure(const Ref<NSError>& error);
    void pushScreen(const Ref<UIViewController>& screen);

    Ref<NSMutableArray> m_btnArray;
    Ref<NSMutableArray> m_adArray;
    Ref<UIButton> m_reloadBtn;
};
