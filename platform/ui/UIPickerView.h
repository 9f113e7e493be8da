// UIPickerView: wheels (components) of rows, side by side; the row in the middle band of each
// wheel is its selected row. The data source gives the number of wheels and of their rows; the
// delegate gives widths (else the wheels share the width), row heights (else 32), and each row's
// title or view: a view it returns (it is offered a view that has left the wheel, to reuse) is
// shown, else a label with the title. Counts are read on the first layout or query, and again on
// reloadAllComponents / reloadComponent. Each wheel is a scroll view of its own: a person turns it
// by dragging (it comes to rest on a row) or by tapping a row (it turns to that row), and the
// delegate's didSelectRow is called when it comes to rest after such a turn, and only then:
// selectRow in code moves the wheel without telling the delegate.
//
// selectedRowInComponent is -1 while a wheel has no rows and 0 once it first has some; a reload
// keeps the selected index, cut down to the new number of rows (-1 when none are left). Main thread
// only.
//
//   auto picker = alloc<UIPickerView>()->initWithFrame(CGRectMake(0, 30, W, 180));
//   picker->setDataSource(self<Form>());
//   picker->setDelegate(self<Form>());
//   picker->setShowsSelectionIndicator(true);
#pragma once

#include "platform/ui/UIView.h"

#include <optional>
#include <vector>

class UIPickerView;

namespace dv::internal::uikit {
class PickerColumn;
} // namespace dv::internal::uikit

class UIPickerViewDataSource {
public:
    virtual ~UIPickerViewDataSource() = default;
    virtual NSInteger numberOfComponentsInPickerView(const Ref<UIPickerView>& pickerView) = 0;
    virtual NSInteger pickerViewNumberOfRowsInComponent(const Ref<UIPickerView>& pickerView, NSInteger component) = 0;
};

// Every method is optional (nullopt, nil or false: not implemented).
class UIPickerViewDelegate {
public:
    virtual ~UIPickerViewDelegate() = default;
    virtual std::optional<CGFloat> pickerViewWidthForComponent(const Ref<UIPickerView>&, NSInteger) { return std::nullopt; }
    virtual std::optional<CGFloat> pickerViewRowHeightForComponent(const Ref<UIPickerView>&, NSInteger) { return std::nullopt; }
    virtual Ref<NSString> pickerViewTitleForRowForComponent(const Ref<UIPickerView>&, NSInteger, NSInteger) { return nil; }
    virtual Ref<UIView> pickerViewViewForRowForComponentReusingView(const Ref<UIPickerView>&, NSInteger, NSInteger, const Ref<UIView>& view)
    {
        (void)view;
        return nil;
    }
    virtual bool pickerViewDidSelectRowInComponent(const Ref<UIPickerView>&, NSInteger, NSInteger) { return false; }
};

class UIPickerView : public UIView {
    DV_CLASS(UIPickerView, UIView)

    UIPickerView();
    ~UIPickerView() override;
    // 320 × 216.
    Ref<UIPickerView> init();
    Ref<UIPickerView> initWithFrame(CGRect frame);

    Ref<UIPickerViewDataSource> dataSource() const { return m_dataSource.lock(); }
    void setDataSource(const Ref<UIPickerViewDataSource>& dataSource);
    Ref<UIPickerViewDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const Ref<UIPickerViewDelegate>& delegate);
    // Lines above and below the middle band.
    bool showsSelectionIndicator() const { return m_showsSelectionIndicator; }
    void setShowsSelectionIndicator(bool shows);

    NSInteger numberOfComponents();
    NSInteger numberOfRowsInComponent(NSInteger component);
    CGSize rowSizeForComponent(NSInteger component);
    void reloadAllComponents();
    void reloadComponent(NSInteger component);

    // A row outside the wheel's rows is ignored. The delegate is not told.
    void selectRow(NSInteger row, NSInteger component, bool animated);
    NSInteger selectedRowInComponent(NSInteger component);
    // The view showing the row now; nil when the row is not on the wheel's visible part.
    Ref<UIView> viewForRow(NSInteger row, NSInteger component);

    void layoutSubviews() override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

private:
    friend class dv::internal::uikit::PickerColumn;

    struct Wheel {
        Ref<dv::internal::uikit::PickerColumn> column;
        NSInteger rows = 0;
        NSInteger selected = -1;
        CGFloat width = 0;
        CGFloat rowHeight = 32;
    };

    void handleEnsureLoaded();
    void handleLoadComponent(NSInteger component);
    void handlePlaceWheels();
    void handleUserSelectedRow(NSInteger component, NSInteger row);
    bool handleValidComponent(NSInteger component);

    Weak<UIPickerViewDataSource> m_dataSource;
    Weak<UIPickerViewDelegate> m_delegate;
    std::vector<Wheel> m_wheels;
    Ref<UIView> m_topLine;
    Ref<UIView> m_bottomLine;
    bool m_loaded = false;
    bool m_showsSelectionIndicator = false;
};
