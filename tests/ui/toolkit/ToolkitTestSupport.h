// Shared set-up of the toolkit's tests: a manual clock, a fresh application with one white key
// window of the main screen's size (375 x 667 at scale 2), no appearance rules, a driver on that
// window; and a delegate that notes when an overlay says it was hidden.
#pragma once

#include "platform/base/Base.h"
#include "platform/dispatch/Clock.h"
#include "platform/testing/Pixels.h"
#include "platform/testing/UIDriver.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIKit.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

#include "tests/platform/dispatch/LiveObjectCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dv::test {

using dv::testing::near;
using dv::testing::Pixel;
using dv::testing::Pixels;
using dv::testing::show;

// Everything that happened, in order ("completion", "delegate", ...).
using Journal = std::vector<std::string>;

// Notes "delegate" (and, when asked, whether the overlay was still in a view) in a journal.
class HUDDelegate : public NSObject, public PHProgressHUDDelegate {
public:
    explicit HUDDelegate(Journal* journal) : m_journal(journal) { }
    bool hudWasHidden(const Ref<PHProgressHUD>& hud) override
    {
        m_journal->push_back(hud->superview() ? "delegate:in view" : "delegate");
        lastHUD = hud;
        return true;
    }
    Weak<PHProgressHUD> lastHUD;

private:
    Journal* m_journal;
};

// A view class that counts its drawings and layouts.
template <class Base>
class Counting : public Base {
public:
    int draws = 0;
    int layouts = 0;
    void drawRect(CGRect rect) override
    {
        ++draws;
        Base::drawRect(rect);
    }
    void layoutSubviews() override
    {
        ++layouts;
        Base::layoutSubviews();
    }
};

class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A plain view of `frame` in the window (or in `parent`), with a background colour.
    Ref<UIView> addView(CGRect frame, Ref<UIColor> color = nil, Ref<UIView> parent = nil);
    // The clock now, and moving it (and running what falls due) to `offset` seconds after `from`.
    NSTimeInterval now() const { return m_clock->now(); }
    // Moves only the clock (running the main loop at each stop), so that it also works while a
    // task holds a queue and the driver could not wait for everything to be idle.
    void advanceTo(NSTimeInterval from, NSTimeInterval offset) { m_clock->advance(from + offset - now()); }
    // An overlay over `host`, in it but not shown, telling m_journal when it was hidden (through
    // its delegate m_delegate and a completion block).
    Ref<PHProgressHUD> addHUD(const Ref<UIView>& host);
    // Whether the overlay is in a view and drawn (alpha at least 0.01).
    bool onScreen(const Ref<PHProgressHUD>& hud) const;
    // A completion block that notes "completion" (and whether the overlay was still in a view).
    PHProgressHUD::CompletionBlock noteCompletion(const Ref<PHProgressHUD>& hud);

    LiveObjectCheck m_liveObjects; // first: it counts once everything else is gone
    ManualClockScope m_clock;
    Ref<UIApplication> m_app;
    Ref<UIWindow> m_window;
    dv::testing::UIDriver m_ui;
    Journal m_journal;
    Ref<HUDDelegate> m_delegate = std::make_shared<HUDDelegate>(&m_journal);
};

} // namespace dv::test
