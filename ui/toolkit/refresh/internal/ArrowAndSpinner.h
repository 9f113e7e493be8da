// The arrow and the spinner of the Normal refresh header and back footer, and what the two share:
// both views made on first use and kept weakly, the spinner made anew when its style changes, both
// placed at one centre, and the states shown on them: the arrow turned one way at rest and the
// other once pulled far enough, hidden while refreshing; the spinner turning while refreshing and
// fading out when a refresh ends. Main thread only.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "ui/toolkit/refresh/RFRefreshConst.h"

class RFRefreshComponent;
class UIImageView;
class UIView;

namespace dv::internal::toolkit {

class ArrowAndSpinner {
public:
    // The arrow's turn at rest and once pulled.
    ArrowAndSpinner(CGAffineTransform atRest, CGAffineTransform pulled) : m_atRest(atRest), m_pulled(pulled) { }

    Ref<UIImageView> arrow(UIView& host);
    Ref<UIActivityIndicatorView> spinner(UIView& host);
    UIActivityIndicatorViewStyle style() const { return m_style; }
    void setStyle(UIActivityIndicatorViewStyle style);

    // Both at `center`, except a view placed by constraints; the arrow at its image's size.
    void place(UIView& host, CGPoint center);
    // `state` entered from `previous` by `host`, whose state is read again when the spinner has
    // faded out.
    void show(RFRefreshComponent& host, RefreshState state, RefreshState previous);

private:
    CGAffineTransform m_atRest;
    CGAffineTransform m_pulled;
    Weak<UIImageView> m_arrow;
    Weak<UIActivityIndicatorView> m_spinner;
    UIActivityIndicatorViewStyle m_style = UIActivityIndicatorViewStyleGray;
};

} // namespace dv::internal::toolkit
