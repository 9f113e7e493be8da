#include "ui/toolkit/refresh/RFRefreshStateHeader.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSCalendar.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDateComponents.h"
#include "platform/base/NSDateFormatter.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/ui/UILabel.h"
#include "ui/toolkit/refresh/UILabelRFRefresh.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

DV_DEFINE_CLASS(RFRefreshStateHeader)

using dv::internal::toolkit::hasLayoutConstraints;

Ref<UILabel> RFRefreshStateHeader::stateLabel() { return dv::internal::toolkit::subviewMadeOnce(m_stateLabel, *this, [] { return label(); }); }

Ref<UILabel> RFRefreshStateHeader::lastUpdatedTimeLabel()
{
    return dv::internal::toolkit::subviewMadeOnce(m_lastUpdatedTimeLabel, *this, [] { return label(); });
}

Ref<NSMutableDictionary> RFRefreshStateHeader::stateTitles() { return m_stateTitles.dictionary(); }

void RFRefreshStateHeader::setTitle(const Ref<NSString>& title, RefreshState state)
{
    if (m_stateTitles.set(title, state))
        stateLabel()->setText(m_stateTitles.title(this->state()));
}

Ref<NSCalendar> RFRefreshStateHeader::currentCalendar() const
{
    if (auto gregorian = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian))
        return gregorian;
    return NSCalendar::currentCalendar();
}

void RFRefreshStateHeader::setLastUpdatedTimeKey(const Ref<NSString>& key)
{
    RFRefreshHeader::setLastUpdatedTimeKey(key);
    auto timeLabel = lastUpdatedTimeLabel();
    if (timeLabel->isHidden())
        return;
    auto date = key ? NSUserDefaults::standardUserDefaults()->dateForKey(key) : nil;
    if (m_lastUpdatedTimeText) {
        timeLabel->setText(m_lastUpdatedTimeText(date));
        return;
    }
    timeLabel->setText(lastUpdatedText(date));
}

Ref<NSString> RFRefreshStateHeader::lastUpdatedText(const Ref<NSDate>& date) const
{
    if (!date)
        return "最后更新：无记录"_ns;
    auto calendar = currentCalendar();
    const NSCalendarUnit units = NSCalendarUnitYear | NSCalendarUnitMonth | NSCalendarUnitDay | NSCalendarUnitHour | NSCalendarUnitMinute;
    auto then = calendar->components(units, date);
    auto now = calendar->components(units, NSDate::date());
    auto formatter = alloc<NSDateFormatter>()->init();
    if (then->year() == now->year() && then->month() == now->month() && then->day() == now->day())
        formatter->setDateFormat("今天 HH:mm"_ns);
    else if (then->year() == now->year())
        formatter->setDateFormat("MM-dd HH:mm"_ns);
    else
        formatter->setDateFormat("yyyy-MM-dd HH:mm"_ns);
    return NSString::stringWithFormat("最后更新：%@", formatter->stringFromDate(date));
}

void RFRefreshStateHeader::prepare()
{
    RFRefreshHeader::prepare();
    setTitle(NSString::fromUTF8(RFRefreshHeaderIdleText), RefreshStateIdle);
    setTitle(NSString::fromUTF8(RFRefreshHeaderPullingText), RefreshStatePulling);
    setTitle(NSString::fromUTF8(RFRefreshHeaderRefreshingText), RefreshStateRefreshing);
}

void RFRefreshStateHeader::placeSubviews()
{
    RFRefreshHeader::placeSubviews();
    auto state = stateLabel();
    if (state->isHidden())
        return;
    auto time = lastUpdatedTimeLabel();
    if (time->isHidden()) {
        if (!hasLayoutConstraints(state))
            state->setFrame(bounds());
        return;
    }
    const CGFloat half = rf_h(this) * 0.5;
    if (!hasLayoutConstraints(state))
        state->setFrame(CGRectMake(0, 0, rf_w(this), half));
    if (!hasLayoutConstraints(time))
        time->setFrame(CGRectMake(0, half, rf_w(this), rf_h(this) - half));
}

void RFRefreshStateHeader::setState(RefreshState state)
{
    if (state == this->state())
        return;
    RFRefreshHeader::setState(state);
    stateLabel()->setText(m_stateTitles.title(state));
    // The time of a refresh that has just ended shows at once.
    setLastUpdatedTimeKey(lastUpdatedTimeKey());
}
