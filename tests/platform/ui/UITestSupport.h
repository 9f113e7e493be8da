// Shared set-up of the interface tests: a manual clock, a fresh application with one key window
// of the main screen's size, no appearance rules, and a driver on that window; plus views that
// record what happens to them.
#pragma once

#include "platform/base/Base.h"
#include "platform/dispatch/Clock.h"
#include "platform/graphics/CGImage.h"
#include "platform/system/UIScreen.h"
#include "platform/testing/UIDriver.h"
#include "platform/ui/UIKit.h"

#include "tests/platform/dispatch/LiveObjectCheck.h"

#include <gtest/gtest.h>

#include <array>
#include <span>
#include <string>
#include <vector>

namespace dv::test {

// Everything a recording view hears, in order, as "name:event" strings.
using Journal = std::vector<std::string>;

// A view that writes its callbacks into a journal and can show a text.
class RecordingView : public UIView {
public:
    static Ref<RecordingView> make(Journal* journal, std::string name, CGRect frame = CGRectMake(0, 0, 10, 10))
    {
        auto view = alloc<RecordingView>();
        view->m_journal = journal;
        view->m_name = std::move(name);
        view->initWithFrame(frame);
        return view;
    }

    std::string text;
    int layouts = 0;
    int draws = 0;

    void willMoveToSuperview(const Ref<UIView>& s) override { note(s ? "willMoveToSuperview" : "willMoveToSuperview:nil"); }
    void didMoveToSuperview() override { note(superview() ? "didMoveToSuperview" : "didMoveToSuperview:nil"); }
    void willMoveToWindow(const Ref<UIWindow>& w) override { note(w ? "willMoveToWindow" : "willMoveToWindow:nil"); }
    void didMoveToWindow() override { note(window() ? "didMoveToWindow" : "didMoveToWindow:nil"); }
    void didAddSubview(const Ref<UIView>&) override { note("didAddSubview"); }
    void willRemoveSubview(const Ref<UIView>&) override { note("willRemoveSubview"); }
    void layoutSubviews() override
    {
        UIView::layoutSubviews();
        ++layouts;
        note("layout");
    }
    void touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override { touched("began", touches, event); }
    void touchesMoved(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override { touched("moved", touches, event); }
    void touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override { touched("ended", touches, event); }
    void touchesCancelled(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override { touched("cancelled", touches, event); }
    void appendDescriptionFields(DescriptionFields& fields) const override
    {
        if (!text.empty())
            fields.emplace_back("text", text);
        UIView::appendDescriptionFields(fields);
    }

    bool forwardsTouches = false; // hand touches on up the chain after noting them
    NSUInteger lastTapCount = 0;
    CGPoint lastLocation {};

    void note(const std::string& event)
    {
        if (m_journal)
            m_journal->push_back(m_name + ":" + event);
    }

private:
    void touched(const char* phase, const Ref<NSSet>& touches, const Ref<UIEvent>& event);

    Journal* m_journal = nullptr;
    std::string m_name;
};

// A view whose drawRect fills its bounds with one colour and counts its calls.
class PaintedView : public UIView {
public:
    static Ref<PaintedView> make(CGRect frame, Ref<UIColor> color)
    {
        auto view = alloc<PaintedView>();
        view->initWithFrame(frame);
        view->color = std::move(color);
        return view;
    }
    Ref<UIColor> color;
    int draws = 0;
    CGRect lastRect {};
    void drawRect(CGRect rect) override
    {
        ++draws;
        lastRect = rect;
        color->setFill();
        UIRectFill(rect);
    }
};

// A target of actions: each call is noted as "selector" (followed by the sender's class when it
// had a sender), with the senders kept in order. Its methods: "fire" (no argument), "fired:" (the
// sender), "firedWithEvent:event:" (sender and event), "copy:" (the edit menu's copy).
class ActionTarget : public UIResponder {
    DV_CLASS(ActionTarget, UIResponder)
public:
    ActionTarget() = default;
    void record(const char* selector, std::span<const id> args);
    Journal calls;
    std::vector<id> senders;
    std::vector<Ref<UIEvent>> events;
};

// A view that can become first responder and has the edit actions "copy:" and "paste:", each
// noted in `calls` with its sender's class.
class EditingView : public UIView {
    DV_CLASS(EditingView, UIView)
public:
    EditingView() = default;
    bool canBecomeFirstResponder() const override { return true; }
    Journal calls;
};

// A view whose own gestureRecognizerShouldBegin says what `allows` says, and which counts how
// often it was asked.
class GuardedView : public UIView {
public:
    bool allows = true;
    int asked = 0;
    bool gestureRecognizerShouldBegin(const Ref<UIGestureRecognizer>&) override
    {
        ++asked;
        return allows;
    }
};

// Makes an image of `size` points at scale 1 whose left half is `left` and right half `right`.
Ref<UIImage> twoColourImage(CGSize size, const Ref<UIColor>& left, const Ref<UIColor>& right);

using Pixel = std::array<int, 4>; // straight RGBA

Pixel pixelOf(const Ref<UIImage>& image, CGFloat xPoints, CGFloat yPoints);
// An image's pixels read once, for tests that look at many.
class Pixels {
public:
    explicit Pixels(const Ref<UIImage>& image);
    Pixel at(CGFloat xPoints, CGFloat yPoints) const;

private:
    std::vector<std::uint8_t> m_pixels;
    std::size_t m_width = 0, m_height = 0;
    CGFloat m_scale = 1;
};
bool near(const Pixel& a, const Pixel& b, int tolerance = 3);
std::string show(const Pixel& p);

class UITest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    Ref<UIView> addView(CGRect frame, Ref<UIColor> color = nil, Ref<UIView> parent = nil);

    LiveObjectCheck m_liveObjects; // first: it counts once everything else is gone
    ManualClockScope m_clock;
    Ref<UIApplication> m_app;
    Ref<UIWindow> m_window;
    testing::UIDriver m_ui;
    Journal m_journal;
};

// The same with a white key window of one of the phone's screens, the parameter (375x667 or
// 320x568), as a screen's view would fill it.
class ScreenSizeTest : public UITest, public ::testing::WithParamInterface<CGSize> {
protected:
    void SetUp() override;
    void TearDown() override;

    CGFloat width() const { return GetParam().width; }
};

// "375x667": the name of a case of a ScreenSizeTest.
std::string screenSizeName(const ::testing::TestParamInfo<CGSize>& info);

} // namespace dv::test
