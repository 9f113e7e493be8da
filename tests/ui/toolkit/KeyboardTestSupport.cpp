#include "KeyboardTestSupport.h"

#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"

namespace {

// The settings the manager starts with.
void resetSettings(KBKeyboardManager& manager)
{
    manager.setEnable(true);
    manager.setKeyboardDistanceFromTextField(10);
    manager.setPreventShowingBottomBlankSpace(true);
    manager.setEnableAutoToolbar(true);
    manager.setToolbarManageBehaviour(0);
    manager.setShouldToolbarUsesTextFieldTintColor(false);
    manager.setToolbarTintColor(nil);
    manager.setShouldShowTextFieldPlaceholder(true);
    manager.setPlaceholderFont(nil);
    manager.setCanAdjustTextView(false);
    manager.setShouldFixTextViewClip(true);
    manager.setOverrideKeyboardAppearance(false);
    manager.setKeyboardAppearance(UIKeyboardAppearanceDefault);
    manager.setShouldResignOnTouchOutside(false);
    manager.setShouldPlayInputClicks(false);
    manager.setShouldAdoptDefaultKeyboardAnimation(true);
    manager.setLayoutIfNeededOnUpdate(false);
    for (Class cls : manager.disabledInViewControllerClasses())
        manager.removeDisableInViewControllerClass(cls);
    for (Class cls : manager.disabledToolbarInViewControllerClasses())
        manager.removeDisableToolbarInViewControllerClass(cls);
}

} // namespace

namespace dv::test {

void KeyboardTest::SetUp()
{
    ToolkitTest::SetUp();
    dv::installKeyboardManager();
    m_manager = KBKeyboardManager::sharedManager();
    resetSettings(*m_manager);
    m_screen = alloc<UIViewController>()->init();
    m_screen->view()->setBackgroundColor(UIColor::whiteColor());
    m_window->setRootViewController(m_screen);
    m_ui.runUntilIdle();
}

void KeyboardTest::TearDown()
{
    // The keyboard goes the ordinary way, so that the manager hears it go.
    m_ui.resignFocus(true);
    settle();
    resetSettings(*m_manager);
    m_screen = nil;
    ToolkitTest::TearDown();
}

Ref<UITextField> KeyboardTest::addField(CGRect frame, Ref<UIView> parent, NSInteger tag, const char* placeholder)
{
    auto field = alloc<UITextField>()->initWithFrame(frame);
    field->setBorderStyle(UITextBorderStyleRoundedRect);
    field->setTag(tag);
    if (placeholder)
        field->setPlaceholder(NSString::fromUTF8(placeholder));
    (parent ? parent : m_screen->view())->addSubview(field);
    return field;
}

Ref<UITextView> KeyboardTest::addTextView(CGRect frame, Ref<UIView> parent)
{
    auto view = alloc<UITextView>()->initWithFrame(frame);
    (parent ? parent : m_screen->view())->addSubview(view);
    return view;
}

bool KeyboardTest::focus(const Ref<UIView>& field)
{
    const bool focused = m_ui.focus(field);
    settle();
    return focused;
}

CGFloat KeyboardTest::screenY() const
{
    return m_screen->view()->frame().origin.y;
}

} // namespace dv::test
