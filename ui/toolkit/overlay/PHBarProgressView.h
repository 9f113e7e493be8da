// PHBarProgressView: a determinate progress value (0 to 1) drawn as a horizontal capsule with an
// outline, filled from the left. The progress overlay makes one for its bar mode and hands it
// `progress` by key. The view observes its own properties: any change of them asks for a redraw
// and nothing else. `progress` may be set on any thread (the redraw follows on the main thread);
// the rest is main thread only.
//
//   auto bar = alloc<PHBarProgressView>()->init();   // 120 x 20
//   bar->setProgress(0.3f);
#pragma once

#include "platform/dispatch/Observable.h"
#include "platform/ui/UIView.h"

#include <atomic>
#include <vector>

class PHBarProgressView : public UIView, public dv::Observable {
    DV_CLASS(PHBarProgressView, UIView)

    PHBarProgressView() = default;
    ~PHBarProgressView() override;
    // A 120 x 20 view.
    Ref<PHBarProgressView> init();
    Ref<PHBarProgressView> initWithFrame(CGRect frame);

    float progress() const { return m_progress.load(); }
    void setProgress(float progress);
    // The outline; white by default.
    Ref<UIColor> lineColor() const { return m_lineColor; }
    void setLineColor(const Ref<UIColor>& color);
    // Inside the outline, right of the progress; clear by default.
    Ref<UIColor> progressRemainingColor() const { return m_progressRemainingColor; }
    void setProgressRemainingColor(const Ref<UIColor>& color);
    // The progress itself; white by default.
    Ref<UIColor> progressColor() const { return m_progressColor; }
    void setProgressColor(const Ref<UIColor>& color);

    void drawRect(CGRect rect) override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

private:
    void registerForKVO();
    void unregisterFromKVO();
    static const std::vector<const char*>& observableKeypaths();

    std::atomic<float> m_progress {0};
    Ref<UIColor> m_lineColor;
    Ref<UIColor> m_progressRemainingColor;
    Ref<UIColor> m_progressColor;
    std::vector<dv::ObservationToken> m_observations;
};
