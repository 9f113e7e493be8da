// Controllers that write their callbacks into a journal, for the tests of controllers,
// navigation, alerts and the image picker.
#pragma once

#include "UITestSupport.h"

namespace dv::test {

class RecordingController : public UIViewController {
public:
    static Ref<RecordingController> make(Journal* journal, std::string name)
    {
        auto controller = alloc<RecordingController>();
        controller->m_journal = journal;
        controller->m_name = std::move(name);
        controller->init();
        return controller;
    }

    int loads = 0;
    int memoryWarnings = 0;
    std::function<void(RecordingController&)> onLoad; // runs inside viewDidLoad

    void viewDidLoad() override
    {
        UIViewController::viewDidLoad();
        ++loads;
        note("viewDidLoad");
        if (onLoad)
            onLoad(*this);
    }
    void viewWillAppear(bool animated) override
    {
        UIViewController::viewWillAppear(animated);
        note(animated ? "viewWillAppear:YES" : "viewWillAppear:NO");
    }
    void viewDidAppear(bool animated) override
    {
        UIViewController::viewDidAppear(animated);
        note(animated ? "viewDidAppear:YES" : "viewDidAppear:NO");
    }
    void viewWillDisappear(bool animated) override
    {
        UIViewController::viewWillDisappear(animated);
        note(animated ? "viewWillDisappear:YES" : "viewWillDisappear:NO");
    }
    void viewDidDisappear(bool animated) override
    {
        UIViewController::viewDidDisappear(animated);
        note(animated ? "viewDidDisappear:YES" : "viewDidDisappear:NO");
    }
    void didReceiveMemoryWarning() override
    {
        UIViewController::didReceiveMemoryWarning();
        ++memoryWarnings;
    }

    void note(const std::string& event)
    {
        if (m_journal)
            m_journal->push_back(m_name + ":" + event);
    }

private:
    Journal* m_journal = nullptr;
    std::string m_name;
};

// Lets transitions still running finish before the controllers and their journal go, so that no
// animation completes in a later test.
class ControllerTest : public UITest {
protected:
    void TearDown() override
    {
        m_ui.advance(1);
        UITest::TearDown();
    }
};

} // namespace dv::test
