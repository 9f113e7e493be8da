#include "platform/ui/UIPickerView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/graphics/UIColor.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/internal/PickerColumn.h"

#include <algorithm>
#include <string>

DV_DEFINE_CLASS(UIPickerView)

namespace {

constexpr CGFloat kRowHeight = 32;

} // namespace

UIPickerView::UIPickerView() = default;

UIPickerView::~UIPickerView() = default;

Ref<UIPickerView> UIPickerView::init() { return initWithFrame(CGRectMake(0, 0, 320, 216)); }

Ref<UIPickerView> UIPickerView::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    for (auto* line : {&m_topLine, &m_bottomLine}) {
        *line = alloc<UIView>()->init();
        (*line)->setBackgroundColor(UIColor::colorWithRed(200 / 255.0, 199 / 255.0, 204 / 255.0, 1));
        (*line)->setUserInteractionEnabled(false);
        (*line)->setHidden(true);
        addSubview(*line);
    }
    return self<UIPickerView>();
}

void UIPickerView::setDataSource(const Ref<UIPickerViewDataSource>& dataSource)
{
    m_dataSource = dataSource;
    m_loaded = false;
    setNeedsLayout();
}

void UIPickerView::setDelegate(const Ref<UIPickerViewDelegate>& delegate)
{
    m_delegate = delegate;
    m_loaded = false;
    setNeedsLayout();
}

void UIPickerView::setShowsSelectionIndicator(bool shows)
{
    m_showsSelectionIndicator = shows;
    m_topLine->setHidden(!shows);
    m_bottomLine->setHidden(!shows);
}

bool UIPickerView::handleValidComponent(NSInteger component)
{
    handleEnsureLoaded();
    return component >= 0 && std::size_t(component) < m_wheels.size();
}

NSInteger UIPickerView::numberOfComponents()
{
    handleEnsureLoaded();
    return NSInteger(m_wheels.size());
}

NSInteger UIPickerView::numberOfRowsInComponent(NSInteger component)
{
    return handleValidComponent(component) ? m_wheels[std::size_t(component)].rows : 0;
}

CGSize UIPickerView::rowSizeForComponent(NSInteger component)
{
    if (!handleValidComponent(component))
        return CGSizeZero;
    auto& wheel = m_wheels[std::size_t(component)];
    return CGSizeMake(wheel.width, wheel.rowHeight);
}

NSInteger UIPickerView::selectedRowInComponent(NSInteger component)
{
    return handleValidComponent(component) ? m_wheels[std::size_t(component)].selected : -1;
}

Ref<UIView> UIPickerView::viewForRow(NSInteger row, NSInteger component)
{
    return handleValidComponent(component) ? m_wheels[std::size_t(component)].column->viewForRow(row) : nil;
}

// Loading

void UIPickerView::handleEnsureLoaded()
{
    if (m_loaded)
        return;
    m_loaded = true;
    reloadAllComponents();
}

void UIPickerView::reloadAllComponents()
{
    m_loaded = true;
    auto dataSource = this->dataSource();
    const NSInteger count = dataSource ? std::max<NSInteger>(dataSource->numberOfComponentsInPickerView(self<UIPickerView>()), 0) : 0;
    if (std::size_t(count) != m_wheels.size()) {
        // New wheels; the ones that stay keep their selected rows.
        std::vector<Wheel> wheels(static_cast<std::size_t>(count));
        for (std::size_t c = 0; c < wheels.size() && c < m_wheels.size(); ++c)
            wheels[c].selected = m_wheels[c].selected;
        for (auto& wheel : m_wheels)
            wheel.column->removeFromSuperview();
        m_wheels = std::move(wheels);
        for (std::size_t c = 0; c < m_wheels.size(); ++c) {
            m_wheels[c].column = dv::internal::uikit::PickerColumn::make(self<UIPickerView>(), NSInteger(c));
            insertSubviewBelowSubview(m_wheels[c].column, m_topLine);
        }
    }
    handlePlaceWheels();
    for (std::size_t c = 0; c < m_wheels.size(); ++c)
        handleLoadComponent(NSInteger(c));
    setNeedsLayout();
}

void UIPickerView::reloadComponent(NSInteger component)
{
    if (!handleValidComponent(component))
        return;
    handlePlaceWheels();
    handleLoadComponent(component);
}

void UIPickerView::handleLoadComponent(NSInteger component)
{
    auto me = self<UIPickerView>();
    auto& wheel = m_wheels[std::size_t(component)];
    auto dataSource = this->dataSource();
    wheel.rows = dataSource ? std::max<NSInteger>(dataSource->pickerViewNumberOfRowsInComponent(me, component), 0) : 0;
    if (wheel.rows == 0)
        wheel.selected = -1;
    else
        wheel.selected = wheel.selected < 0 ? 0 : std::min(wheel.selected, wheel.rows - 1);
    wheel.column->reload(wheel.rows, wheel.rowHeight, wheel.selected);
}

void UIPickerView::handlePlaceWheels()
{
    auto me = self<UIPickerView>();
    auto delegate = this->delegate();
    const CGRect b = bounds();
    const CGFloat share = m_wheels.empty() ? 0 : b.size.width / CGFloat(m_wheels.size());
    CGFloat total = 0;
    for (std::size_t c = 0; c < m_wheels.size(); ++c) {
        auto& wheel = m_wheels[c];
        wheel.width = delegate ? delegate->pickerViewWidthForComponent(me, NSInteger(c)).value_or(share) : share;
        const CGFloat height = delegate ? delegate->pickerViewRowHeightForComponent(me, NSInteger(c)).value_or(kRowHeight) : kRowHeight;
        wheel.rowHeight = height > 0 ? height : kRowHeight;
        total += wheel.width;
    }
    // The wheels stand side by side, centred together.
    CGFloat x = (b.size.width - total) / 2;
    for (auto& wheel : m_wheels) {
        wheel.column->setFrame(CGRectMake(x, 0, wheel.width, b.size.height));
        x += wheel.width;
    }
    const CGFloat band = m_wheels.empty() ? kRowHeight : m_wheels.front().rowHeight;
    const CGFloat line = 1 / std::max<CGFloat>(UIScreen::mainScreen()->scale(), 1);
    m_topLine->setFrame(CGRectMake(0, (b.size.height - band) / 2 - line, b.size.width, line));
    m_bottomLine->setFrame(CGRectMake(0, (b.size.height + band) / 2, b.size.width, line));
}

void UIPickerView::layoutSubviews()
{
    UIView::layoutSubviews();
    handleEnsureLoaded();
    handlePlaceWheels();
}

// Selection

void UIPickerView::selectRow(NSInteger row, NSInteger component, bool animated)
{
    if (!handleValidComponent(component))
        return;
    auto& wheel = m_wheels[std::size_t(component)];
    if (row < 0 || row >= wheel.rows)
        return;
    wheel.selected = row;
    wheel.column->showRow(row, animated);
}

void UIPickerView::handleUserSelectedRow(NSInteger component, NSInteger row)
{
    if (component < 0 || std::size_t(component) >= m_wheels.size())
        return;
    m_wheels[std::size_t(component)].selected = row;
    if (auto delegate = this->delegate())
        delegate->pickerViewDidSelectRowInComponent(self<UIPickerView>(), row, component);
}

void UIPickerView::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    UIView::appendDescriptionFields(fields);
    std::string selected;
    for (auto& wheel : m_wheels)
        selected += (selected.empty() ? "" : ",") + std::to_string(wheel.selected);
    if (!m_wheels.empty())
        fields.emplace_back("selected", selected);
}
