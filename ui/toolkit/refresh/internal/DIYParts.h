// The parts the DIY header and footers are built of, and what each state does to them: an orange
// text that darkens with the pull, a switch on while pulling or refreshing, an optional logo and a
// spinner that turns while refreshing. The host's hierarchy owns the views; the parts keep weak
// links. Each DIY class places the parts itself. Main thread only.
#pragma once

#include "platform/base/Forward.h"
#include "ui/toolkit/refresh/RFRefreshConst.h"

class NSString;
class UIActivityIndicatorView;
class UIImageView;
class UILabel;
class UISwitch;
class UIView;

namespace dv::internal::toolkit {

class DIYParts {
public:
    enum class Logo { Shown, None };
    // The texts of the states a kind shows; nil for a state it does not (the refreshing text is
    // the same for every kind).
    struct Texts {
        const char* idle = nullptr;
        const char* pulling = nullptr;
        const char* noMoreData = nullptr;
    };

    // Makes the parts inside `host`, 50 points tall.
    void make(UIView& host, Logo logo);

    Ref<UILabel> label() const;
    Ref<UISwitch> toggle() const;
    Ref<UIImageView> logo() const;
    Ref<UIActivityIndicatorView> spinner() const;

    // Shows `state` with `texts`; nothing once the owner has taken a part out.
    void show(RefreshState state, const Texts& texts) const;
    // The text's colour at `pullingPercent` of the pull.
    void colourForPull(CGFloat pullingPercent) const;

private:
    Weak<UILabel> m_label;
    Weak<UISwitch> m_switch;
    Weak<UIImageView> m_logo;
    Weak<UIActivityIndicatorView> m_spinner;
};

} // namespace dv::internal::toolkit
