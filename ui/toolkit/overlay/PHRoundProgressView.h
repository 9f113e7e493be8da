// PHRoundProgressView: a determinate progress value (0 to 1) drawn as a pie that fills clockwise
// from the top, or, in the annular style, as a ring with a progress arc. The progress overlay
// makes one for its round modes, sets its colours and hands it `progress` by key. The view
// observes its own properties: any change of them asks for a redraw and nothing else. `progress`
// may be set on any thread (the redraw follows on the main thread); the rest is main thread only.
//
//   auto pie = alloc<PHRoundProgressView>()->init();   // 37 x 37
//   pie->setProgress(0.5f);
#pragma once

#include "platform/dispatch/Observable.h"
#include "platform/ui/UIView.h"

#include <atomic>
#include <vector>

class PHRoundProgressView : public UIView, public dv::Observable {
    DV_CLASS(PHRoundProgressView, UIView)

    PHRoundProgressView() = default;
    ~PHRoundProgressView() override;
    // A 37 x 37 view.
    Ref<PHRoundProgressView> init();
    Ref<PHRoundProgressView> initWithFrame(CGRect frame);

    float progress() const { return m_progress.load(); }
    void setProgress(float progress);
    // The pie, the ring's arc and the outline; white by default.
    Ref<UIColor> progressTintColor() const { return m_progressTintColor; }
    void setProgressTintColor(const Ref<UIColor>& color);
    // The disc behind the pie and the ring's track; white at alpha 0.1 by default.
    Ref<UIColor> backgroundTintColor() const { return m_backgroundTintColor; }
    void setBackgroundTintColor(const Ref<UIColor>& color);
    bool isAnnular() const { return m_annular; }
    void setAnnular(bool annular);

    void drawRect(CGRect rect) override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

private:
    void registerForKVO();
    void unregisterFromKVO();
    static const std::vector<const char*>& observableKeypaths();

    std::atomic<float> m_progress {0};
    Ref<UIColor> m_progressTintColor;
    Ref<UIColor> m_backgroundTintColor;
    bool m_annular = false;
    std::vector<dv::ObservationToken> m_observations;
};
