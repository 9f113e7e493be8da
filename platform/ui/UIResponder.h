// UIResponder: an object that takes part in event handling. Responders form a chain through
// nextResponder (a view's is its controller when it is a controller's root view, else its
// superview; a window's is the application; the application's is its delegate when that is a
// responder); touches a responder does not handle travel up that chain.
//
// First responder: each window keeps at most one. becomeFirstResponder asks canBecomeFirstResponder
// and then the current first responder's canResignFirstResponder and resignFirstResponder; any of
// them may refuse. A subclass that overrides becomeFirstResponder or resignFirstResponder calls the
// superclass's to change the status. Main thread only.
//
//   class Field : public UIView { bool canBecomeFirstResponder() const override { return true; } };
//   field->becomeFirstResponder();    // false while the field is in no window
#pragma once

#include "platform/base/NSObject.h"
#include "platform/ui/Forward.h"

class UIResponder : public NSObject {
    DV_CLASS(UIResponder, NSObject)

    UIResponder() = default;

    // nil at the end of the chain.
    virtual Ref<UIResponder> nextResponder() const;

    virtual bool canBecomeFirstResponder() const; // NO
    virtual bool becomeFirstResponder();
    virtual bool canResignFirstResponder() const; // YES
    virtual bool resignFirstResponder();
    virtual bool isFirstResponder() const;

    // The default implementations hand the touches to the next responder.
    virtual void touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event);
    virtual void touchesMoved(const Ref<NSSet>& touches, const Ref<UIEvent>& event);
    virtual void touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event);
    virtual void touchesCancelled(const Ref<NSSet>& touches, const Ref<UIEvent>& event);

    // YES when this responder's class has a registered method for `action`; otherwise the next
    // responder is asked.
    virtual bool canPerformAction(SEL action, const id& sender) const;

    // What the keyboard shows while this responder is first responder (see UIKeyboard.h): its own
    // input view in place of the standard keys (nil: the standard keyboard), and the accessory
    // view above it (nil: none). nil by default; text fields and text views let them be set.
    virtual Ref<UIView> inputView() const;
    virtual Ref<UIView> inputAccessoryView() const;
    // Shows the current input views again while this responder is first responder: the keyboard
    // announces its new frame with will-show and did-show.
    virtual void reloadInputViews();
    // YES for responders that bring the keyboard up when they become first responder (text
    // fields and text views that can edit). NO by default.
    virtual bool showsKeyboard() const;

protected:
    // YES while a view's endEditing with force makes the first responder resign: the responder
    // gives up its status without asking its delegate.
    static bool isForcingResign();

    // The window whose first responder this responder becomes: a view's own window; for any
    // other responder the application's key window.
    virtual Ref<UIWindow> windowForFirstResponder() const;

private:
    friend class UIView;
    // resignFirstResponder with isForcingResign() YES.
    void handleForcedResign();
};
