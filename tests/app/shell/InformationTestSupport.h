// Shared set-up of the information screens' tests: the application started through its entry
// against the local server, with the steps a person takes to reach the screens (a home tile, the
// about screen and its rows) and to watch the web pages they load.
#pragma once

#include "ShellTestSupport.h"

#include <string>
#include <string_view>

class UITableView;
class UIWebView;
class VQAboutvqViewController;

namespace dv::test {

class InformationTest : public ApplicationTest {
protected:
    void SetUp() override;

    // The server's base address, as the application addresses it.
    std::string base() const;
    // The home tile with this title tapped; the screen on top once the push has ended.
    Ref<UIViewController> tapTile(std::string_view title);
    // Launches with a home category "行业客源" of keyword 12 and taps it: the about screen, once its
    // table shows (nil when it does not).
    Ref<VQAboutvqViewController> openAbout();
    Ref<UITableView> aboutTable() const;
    // A row of the about screen tapped; the screen on top once the push has ended.
    Ref<UIViewController> tapAboutRow(NSInteger section, NSInteger row);
    // Pushes a screen as its creator would, animated, and lets the push end.
    void push(const Ref<UIViewController>& screen);
    // The navigation bar's back item of the top screen tapped, and the pop ended.
    bool goBack();
    // The web view of the top screen, after its load has ended (nil when there is none).
    Ref<UIWebView> loadedWebView();
    // The last load any web view began.
    dv::testing::UIDriver::WebLoad lastLoad() const;
};

} // namespace dv::test
