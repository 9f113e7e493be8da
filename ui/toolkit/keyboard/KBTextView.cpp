#include "ui/toolkit/keyboard/KBTextView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/graphics/UIColor.h"
#include "platform/ui/UILabel.h"

// The placeholder is a property, so that code that only knows a view (the keyboard toolbar's title)
// can read it by key.
DV_DEFINE_CLASS_WITH(KBTextView, b)
{
    b.property<Ref<NSString>>("placeholder", "T@\"NSString\",C,N", [](const KBTextView& view) { return view.placeholder(); },
                              [](KBTextView& view, Ref<NSString> value) { view.setPlaceholder(value); });
}

KBTextView::~KBTextView()
{
    NSNotificationCenter::defaultCenter()->removeObserver(static_cast<const NSObject*>(this));
}

Ref<KBTextView> KBTextView::init()
{
    UITextView::init();
    initialize();
    return self<KBTextView>();
}

Ref<KBTextView> KBTextView::initWithFrame(CGRect frame)
{
    UITextView::initWithFrame(frame);
    return self<KBTextView>();
}

void KBTextView::awakeFromNib()
{
    UITextView::awakeFromNib();
    initialize();
}

void KBTextView::initialize()
{
    auto me = self<KBTextView>();
    NSNotificationCenter::defaultCenter()->addObserver(me, &KBTextView::textDidChange, UITextViewTextDidChangeNotification, me);
}

void KBTextView::textDidChange(const Ref<NSNotification>&) { refreshPlaceholder(); }

void KBTextView::refreshPlaceholder()
{
    // A view without a placeholder has no label: nothing to show or hide.
    if (m_placeholderLabel)
        m_placeholderLabel->setAlpha(text()->length() ? 0 : 1);
    setNeedsLayout();
    layoutIfNeeded();
}

void KBTextView::setText(const Ref<NSString>& text)
{
    UITextView::setText(text);
    refreshPlaceholder();
}

void KBTextView::setFont(const Ref<UIFont>& font)
{
    UITextView::setFont(font);
    if (m_placeholderLabel)
        m_placeholderLabel->setFont(this->font());
    setNeedsLayout();
    layoutIfNeeded();
}

void KBTextView::layoutSubviews()
{
    UITextView::layoutSubviews();
    if (!m_placeholderLabel)
        return;
    // The height sizeToFit would give, without changing the label's size twice: a subview whose
    // size changes lays its superview out again, which would never settle.
    const CGFloat height = m_placeholderLabel->sizeThatFits(m_placeholderLabel->bounds().size).height;
    m_placeholderLabel->setFrame(CGRectMake(8, 8, frame().size.width - 16, height));
}

void KBTextView::setPlaceholder(const Ref<NSString>& placeholder)
{
    m_placeholder = placeholder;
    if (!m_placeholderLabel) {
        auto label = alloc<UILabel>()->initWithFrame(CGRectZero);
        label->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        label->setLineBreakMode(NSLineBreakByWordWrapping);
        label->setNumberOfLines(0);
        label->setFont(font());
        label->setBackgroundColor(UIColor::clearColor());
        label->setTextColor(UIColor::colorWithWhite(0.7, 1.0));
        label->setAlpha(0);
        addSubview(label);
        m_placeholderLabel = label;
    }
    m_placeholderLabel->setText(m_placeholder);
    refreshPlaceholder();
}

Ref<UITextViewDelegate> KBTextView::delegate() const
{
    // The platform reads the delegate through this getter; refreshing here is what lets the
    // placeholder follow edits in a view that does not listen to its notification.
    const_cast<KBTextView*>(this)->refreshPlaceholder();
    return UITextView::delegate();
}
