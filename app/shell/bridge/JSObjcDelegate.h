// JSObjcDelegate: the messages a page's scripts may send to the application through the object
// published as the global "LYAppSpeakController": clickOnAndroid(value) and clickZiXunAction().
#pragma once

#include "platform/ui/JSValue.h"

class JSObjcDelegate : public JSExport {
public:
    virtual void clickOnAndroid(const id& value) = 0;
    virtual void clickZiXunAction() = 0;

    // The two selectors, as scripts see them.
    std::vector<SEL> exportedSelectors() const override { return { SEL("clickOnAndroid:"), SEL("clickZiXunAction") }; }
};
