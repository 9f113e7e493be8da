#include "ui/toolkit/keyboard/KBKeyboardReturnKeyHandler.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/ui/UIViewController.h"
#include "ui/toolkit/keyboard/KBKeyboardManager.h"
#include "ui/toolkit/keyboard/NSArrayKBSort.h"
#include "ui/toolkit/keyboard/UIViewKBHierarchy.h"

#include <algorithm>

const Ref<NSString> kKBTextField = "kKBTextField"_ns;
const Ref<NSString> kKBTextFieldReturnKeyType = "kKBTextFieldReturnKeyType"_ns;
const Ref<NSString> kKBTextFieldDelegate = "kKBTextFieldDelegate"_ns;

DV_DEFINE_CLASS(KBKeyboardReturnKeyHandler)

namespace {

UITextInputTraits* traitsOf(const Ref<UIView>& field) { return dynamic_cast<UITextInputTraits*>(field.get()); }

// The fields the return key walks through, in order: the whole container of a class the keyboard
// manager treats as one chain (a table or collection view), else the field and its siblings in
// the manager's order.
Ref<NSArray> orderedFields(const Ref<UIView>& field)
{
    auto manager = KBKeyboardManager::sharedManager();
    for (Class cls : manager->consideredToolbarPreviousNextViewClasses())
        if (auto container = superviewOfClassType(field, cls))
            return deepResponderViews(container);
    auto siblings = responderSiblings(field);
    switch (manager->toolbarManageBehaviour()) {
    case 1:
        return sortedArrayByTag(siblings);
    case 2:
        return sortedArrayByPosition(siblings);
    default:
        return siblings;
    }
}

} // namespace

KBKeyboardReturnKeyHandler::~KBKeyboardReturnKeyHandler()
{
    for (const auto& record : m_records)
        handleRestore(record);
    m_records.clear();
}

Ref<KBKeyboardReturnKeyHandler> KBKeyboardReturnKeyHandler::init() { return initWithViewController(nil); }

Ref<KBKeyboardReturnKeyHandler> KBKeyboardReturnKeyHandler::initWithViewController(const Ref<UIViewController>& controller)
{
    NSObject::init();
    m_records.clear();
    if (controller)
        addResponderFromView(controller->view());
    return self<KBKeyboardReturnKeyHandler>();
}

// MARK: - Registration

const KBKeyboardReturnKeyHandler::Record* KBKeyboardReturnKeyHandler::handleRecord(const Ref<UIView>& field) const
{
    if (!field)
        return nullptr;
    auto it = std::find_if(m_records.begin(), m_records.end(), [&](const Record& record) { return record.field.lock() == field; });
    return it == m_records.end() ? nullptr : &*it;
}

Ref<NSDictionary> KBKeyboardReturnKeyHandler::textFieldCachedInfo(const Ref<UIView>& field) const
{
    const Record* record = handleRecord(field);
    if (!record)
        return nil;
    auto info = NSMutableDictionary::dictionaryWithCapacity(3);
    info->setObjectForKey(field, kKBTextField);
    info->setObjectForKey(NSNumber::numberWithInteger(record->returnKeyType), kKBTextFieldReturnKeyType);
    id formerDelegate = std::dynamic_pointer_cast<NSObject>(record->textFieldDelegate.lock());
    if (!formerDelegate)
        formerDelegate = std::dynamic_pointer_cast<NSObject>(record->textViewDelegate.lock());
    if (formerDelegate)
        info->setObjectForKey(formerDelegate, kKBTextFieldDelegate);
    return info;
}

void KBKeyboardReturnKeyHandler::addResponderFromView(const Ref<UIView>& view)
{
    if (auto fields = deepResponderViews(view))
        for (auto& field : fields->items())
            addTextFieldView(dv::as<UIView>(field));
}

void KBKeyboardReturnKeyHandler::removeResponderFromView(const Ref<UIView>& view)
{
    if (auto fields = deepResponderViews(view))
        for (auto& field : fields->items())
            removeTextFieldView(dv::as<UIView>(field));
}

void KBKeyboardReturnKeyHandler::handleRestore(const Record& record)
{
    auto field = record.field.lock();
    auto* traits = traitsOf(field);
    if (!traits)
        return;
    traits->setReturnKeyType(record.returnKeyType);
    if (auto textField = dv::as<UITextField>(field))
        textField->setDelegate(record.hadDelegate ? record.textFieldDelegate.lock() : nil);
    else if (auto textView = dv::as<UITextView>(field))
        textView->setDelegate(record.hadDelegate ? record.textViewDelegate.lock() : nil);
}

void KBKeyboardReturnKeyHandler::removeTextFieldView(const Ref<UIView>& field)
{
    // Records of fields that have gone are dropped on the way.
    std::erase_if(m_records, [](const Record& record) { return record.field.expired(); });
    auto it = std::find_if(m_records.begin(), m_records.end(), [&](const Record& record) { return record.field.lock() == field; });
    if (!field || it == m_records.end())
        return;
    const Record record = *it;
    m_records.erase(it);
    handleRestore(record);
}

void KBKeyboardReturnKeyHandler::addTextFieldView(const Ref<UIView>& field)
{
    std::erase_if(m_records, [](const Record& record) { return record.field.expired(); });
    auto* traits = traitsOf(field);
    // Only text fields and text views have a return key and a delegate to take over. A field
    // registered twice would otherwise remember the handler as its own former delegate.
    if (!traits || handleRecord(field))
        return;
    Record record;
    record.field = field;
    record.returnKeyType = traits->returnKeyType();
    auto me = self<KBKeyboardReturnKeyHandler>();
    if (auto textField = dv::as<UITextField>(field)) {
        auto former = textField->delegate();
        record.hadDelegate = former != nullptr;
        record.textFieldDelegate = former;
        textField->setDelegate(me);
    } else if (auto textView = dv::as<UITextView>(field)) {
        auto former = textView->delegate();
        record.hadDelegate = former != nullptr;
        record.textViewDelegate = former;
        textView->setDelegate(me);
    } else {
        return;
    }
    m_records.push_back(std::move(record));
}

// MARK: - Moving on

void KBKeyboardReturnKeyHandler::updateReturnKeyTypeOnTextField(const Ref<UIView>& field)
{
    auto* traits = traitsOf(field);
    if (!traits)
        return;
    auto fields = orderedFields(field);
    const bool last = fields && fields->count() > 0 && fields->lastObject() == field;
    traits->setReturnKeyType(last ? m_lastTextFieldReturnKeyType : UIReturnKeyNext);
}

void KBKeyboardReturnKeyHandler::goToNextResponderOrResign(const Ref<UIView>& field)
{
    if (!field)
        return;
    auto fields = orderedFields(field);
    const NSUInteger index = fields ? fields->indexOfObjectIdenticalTo(field) : NSNotFound;
    if (index != NSNotFound && index + 1 < fields->count()) {
        if (auto next = dv::as<UIResponder>(fields->objectAtIndex(index + 1)))
            next->becomeFirstResponder();
        return;
    }
    field->resignFirstResponder();
}

// MARK: - Forwarding

Ref<UITextFieldDelegate> KBKeyboardReturnKeyHandler::handleTextFieldDelegate() const
{
    return std::dynamic_pointer_cast<UITextFieldDelegate>(m_delegate.lock());
}

Ref<UITextViewDelegate> KBKeyboardReturnKeyHandler::handleTextViewDelegate() const
{
    return std::dynamic_pointer_cast<UITextViewDelegate>(m_delegate.lock());
}

std::optional<bool> KBKeyboardReturnKeyHandler::textFieldShouldBeginEditing(const Ref<UITextField>& textField)
{
    auto delegate = handleTextFieldDelegate();
    return delegate ? delegate->textFieldShouldBeginEditing(textField).value_or(true) : true;
}

bool KBKeyboardReturnKeyHandler::textFieldDidBeginEditing(const Ref<UITextField>& textField)
{
    updateReturnKeyTypeOnTextField(textField);
    if (auto delegate = handleTextFieldDelegate())
        delegate->textFieldDidBeginEditing(textField);
    return true;
}

std::optional<bool> KBKeyboardReturnKeyHandler::textFieldShouldEndEditing(const Ref<UITextField>& textField)
{
    auto delegate = handleTextFieldDelegate();
    return delegate ? delegate->textFieldShouldEndEditing(textField).value_or(true) : true;
}

bool KBKeyboardReturnKeyHandler::textFieldDidEndEditing(const Ref<UITextField>& textField)
{
    if (auto delegate = handleTextFieldDelegate())
        delegate->textFieldDidEndEditing(textField);
    return true;
}

std::optional<bool> KBKeyboardReturnKeyHandler::textFieldShouldChangeCharactersInRangeReplacementString(const Ref<UITextField>& textField,
    NSRange range, const Ref<NSString>& replacement)
{
    auto delegate = handleTextFieldDelegate();
    return delegate ? delegate->textFieldShouldChangeCharactersInRangeReplacementString(textField, range, replacement).value_or(true) : true;
}

std::optional<bool> KBKeyboardReturnKeyHandler::textFieldShouldClear(const Ref<UITextField>& textField)
{
    auto delegate = handleTextFieldDelegate();
    return delegate ? delegate->textFieldShouldClear(textField).value_or(true) : true;
}

std::optional<bool> KBKeyboardReturnKeyHandler::textFieldShouldReturn(const Ref<UITextField>& textField)
{
    if (auto delegate = handleTextFieldDelegate(); delegate && !delegate->textFieldShouldReturn(textField).value_or(true))
        return false;
    goToNextResponderOrResign(textField);
    return true;
}

std::optional<bool> KBKeyboardReturnKeyHandler::textViewShouldBeginEditing(const Ref<UITextView>& textView)
{
    auto delegate = handleTextViewDelegate();
    return delegate ? delegate->textViewShouldBeginEditing(textView).value_or(true) : true;
}

std::optional<bool> KBKeyboardReturnKeyHandler::textViewShouldEndEditing(const Ref<UITextView>& textView)
{
    auto delegate = handleTextViewDelegate();
    return delegate ? delegate->textViewShouldEndEditing(textView).value_or(true) : true;
}

bool KBKeyboardReturnKeyHandler::textViewDidBeginEditing(const Ref<UITextView>& textView)
{
    updateReturnKeyTypeOnTextField(textView);
    if (auto delegate = handleTextViewDelegate())
        delegate->textViewDidBeginEditing(textView);
    return true;
}

bool KBKeyboardReturnKeyHandler::textViewDidEndEditing(const Ref<UITextView>& textView)
{
    if (auto delegate = handleTextViewDelegate())
        delegate->textViewDidEndEditing(textView);
    return true;
}

std::optional<bool> KBKeyboardReturnKeyHandler::textViewShouldChangeTextInRangeReplacementText(const Ref<UITextView>& textView,
    NSRange range, const Ref<NSString>& text)
{
    if (auto delegate = handleTextViewDelegate();
        delegate && !delegate->textViewShouldChangeTextInRangeReplacementText(textView, range, text).value_or(true))
        return false;
    // The line feed still goes in, into the view that has just given up the focus.
    if (text && text->isEqualToString("\n"_ns))
        goToNextResponderOrResign(textView);
    return true;
}

bool KBKeyboardReturnKeyHandler::textViewDidChange(const Ref<UITextView>& textView)
{
    if (auto delegate = handleTextViewDelegate())
        delegate->textViewDidChange(textView);
    return true;
}

bool KBKeyboardReturnKeyHandler::textViewDidChangeSelection(const Ref<UITextView>& textView)
{
    if (auto delegate = handleTextViewDelegate())
        delegate->textViewDidChangeSelection(textView);
    return true;
}

std::optional<bool> KBKeyboardReturnKeyHandler::textViewShouldInteractWithURLInRange(const Ref<UITextView>& textView, const Ref<NSURL>& url,
    NSRange range)
{
    auto delegate = handleTextViewDelegate();
    return delegate ? delegate->textViewShouldInteractWithURLInRange(textView, url, range).value_or(true) : true;
}

std::optional<bool> KBKeyboardReturnKeyHandler::textViewShouldInteractWithTextAttachmentInRange(const Ref<UITextView>& textView,
    const id& attachment, NSRange range)
{
    auto delegate = handleTextViewDelegate();
    return delegate ? delegate->textViewShouldInteractWithTextAttachmentInRange(textView, attachment, range).value_or(true) : true;
}
