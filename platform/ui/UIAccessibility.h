// Accessibility: what an element tells assistive technology about itself (a label, a value, a
// hint, its traits) and the actions it takes from it (activate, increment, decrement). Views and
// bar items adopt it; every member is virtual so that a class can answer from its own state, and
// the setters store a value that the default getters return. Main thread only.
//
//   class Rating : public UIControl {
//       UIAccessibilityTraits accessibilityTraits() const override
//       {
//           return UIControl::accessibilityTraits() | UIAccessibilityTraitAdjustable;
//       }
//       void accessibilityIncrement() override { setValue(value() + 1); }
//   };
#pragma once

#include "platform/base/Forward.h"

#include <cstdint>
#include <optional>

using UIAccessibilityTraits = std::uint64_t;
inline constexpr UIAccessibilityTraits UIAccessibilityTraitNone = 0;
inline constexpr UIAccessibilityTraits UIAccessibilityTraitButton = 1 << 0;
inline constexpr UIAccessibilityTraits UIAccessibilityTraitLink = 1 << 1;
inline constexpr UIAccessibilityTraits UIAccessibilityTraitImage = 1 << 2;
inline constexpr UIAccessibilityTraits UIAccessibilityTraitSelected = 1 << 3;
inline constexpr UIAccessibilityTraits UIAccessibilityTraitPlaysSound = 1 << 4;
inline constexpr UIAccessibilityTraits UIAccessibilityTraitKeyboardKey = 1 << 5;
inline constexpr UIAccessibilityTraits UIAccessibilityTraitStaticText = 1 << 6;
inline constexpr UIAccessibilityTraits UIAccessibilityTraitSummaryElement = 1 << 7;
inline constexpr UIAccessibilityTraits UIAccessibilityTraitNotEnabled = 1 << 8;
inline constexpr UIAccessibilityTraits UIAccessibilityTraitUpdatesFrequently = 1 << 9;
inline constexpr UIAccessibilityTraits UIAccessibilityTraitSearchField = 1 << 10;
inline constexpr UIAccessibilityTraits UIAccessibilityTraitStartsMediaSession = 1 << 11;
inline constexpr UIAccessibilityTraits UIAccessibilityTraitAdjustable = 1 << 12;
inline constexpr UIAccessibilityTraits UIAccessibilityTraitAllowsDirectInteraction = 1 << 13;
inline constexpr UIAccessibilityTraits UIAccessibilityTraitCausesPageTurn = 1 << 14;
inline constexpr UIAccessibilityTraits UIAccessibilityTraitHeader = 1 << 16;

class UIAccessibility {
public:
    virtual ~UIAccessibility() = default;

    // NO unless set; labels, buttons and the other standard controls answer YES unless set.
    virtual bool isAccessibilityElement() const { return m_isElement.value_or(false); }
    void setIsAccessibilityElement(bool element) { m_isElement = element; }
    // The stored texts; a label answers its text and a button its title when none is stored.
    virtual Ref<NSString> accessibilityLabel() const { return m_label; }
    void setAccessibilityLabel(const Ref<NSString>& label) { m_label = label; }
    virtual Ref<NSString> accessibilityHint() const { return m_hint; }
    void setAccessibilityHint(const Ref<NSString>& hint) { m_hint = hint; }
    virtual Ref<NSString> accessibilityValue() const { return m_value; }
    void setAccessibilityValue(const Ref<NSString>& value) { m_value = value; }
    // The stored traits; the standard views add their own (a button is a button, a disabled
    // control is not enabled, ...).
    virtual UIAccessibilityTraits accessibilityTraits() const { return m_traits; }
    void setAccessibilityTraits(UIAccessibilityTraits traits) { m_traits = traits; }

    // Actions: activate answers whether the element handled it (NO by default); increment and
    // decrement do nothing unless an adjustable element overrides them.
    virtual bool accessibilityActivate() { return false; }
    virtual void accessibilityIncrement() { }
    virtual void accessibilityDecrement() { }

protected:
    // Whether the element flag was set, for classes whose default differs.
    std::optional<bool> accessibilityElementSetting() const { return m_isElement; }

private:
    Ref<NSString> m_label;
    Ref<NSString> m_hint;
    Ref<NSString> m_value;
    UIAccessibilityTraits m_traits = UIAccessibilityTraitNone;
    std::optional<bool> m_isElement;
};
