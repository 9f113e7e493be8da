// KBTextView: a multi-line text view that shows a grey placeholder in its top-left corner while
// it is empty, as a one-line field does. The placeholder is a label the view owns, made when the
// first placeholder is set; it follows the text set in code, typing (through the text-change
// notification, and every time the view's delegate is consulted), and the view's font.
//
// A view made with init (or loaded from an interface file) listens to its own text-change
// notification; one made with initWithFrame directly does not, and relies on the delegate reads
// the view makes while it is edited. Main thread only.
//
//   auto notes = alloc<KBTextView>()->init();
//   notes->setFrame(CGRectMake(10, 80, 355, 120));
//   notes->setPlaceholder("请输入简介"_ns);
#pragma once

#include "platform/ui/UITextView.h"

class NSNotification;
class UILabel;

class KBTextView : public UITextView {
    DV_CLASS(KBTextView, UITextView)

    KBTextView() = default;
    ~KBTextView() override;
    // The text view's own initialiser, then initialize.
    Ref<KBTextView> init();
    // The text view's own initialiser only.
    Ref<KBTextView> initWithFrame(CGRect frame);
    void awakeFromNib() override;
    // Subscribes the view to its own text-did-change notifications (refreshPlaceholder).
    void initialize();

    // Kept as given; nil before the first assignment.
    Ref<NSString> placeholder() const { return m_placeholder; }
    void setPlaceholder(const Ref<NSString>& placeholder);
    // Shows the placeholder (alpha 1) when the text is empty, hides it (alpha 0) otherwise, and
    // lays the view out at once.
    void refreshPlaceholder();

    void setText(const Ref<NSString>& text) override;
    // The placeholder takes the view's font too.
    void setFont(const Ref<UIFont>& font) override;
    // The placeholder sits 8 points in from the top and the sides, as tall as its text.
    void layoutSubviews() override;
    // Refreshes the placeholder before answering: the view consults its delegate around every
    // edit, so the placeholder follows typing even without the notification.
    Ref<UITextViewDelegate> delegate() const override;

private:
    void textDidChange(const Ref<NSNotification>& notification);

    Ref<NSString> m_placeholder;
    Ref<UILabel> m_placeholderLabel;
};
