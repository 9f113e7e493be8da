// IntroduceControllerDelegate: what the guide-page screen (LYIntroduceController) tells its
// delegate: that the user has gone through the pages.
#pragma once

class IntroduceControllerDelegate {
public:
    virtual ~IntroduceControllerDelegate() = default;
    virtual void introduceWillFinished() = 0;
};
