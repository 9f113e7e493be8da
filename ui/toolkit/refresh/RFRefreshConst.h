// What the pull-to-refresh family shares: its states, sizes, animation times, the keys it
// observes and the texts its headers and footers show.
#pragma once

#include "platform/base/Geometry.h"

// The state of a refresh header or footer.
enum RefreshState : NSInteger {
    RefreshStateIdle = 1,        // at rest; after creation and after a refresh ends
    RefreshStatePulling = 2,     // pulled far enough that letting go starts a refresh
    RefreshStateRefreshing = 3,  // the owner has been (or is being) called back and must end it
    RefreshStateWillRefresh = 4, // asked to refresh outside a window: refreshes at its next draw
    RefreshStateNoMoreData = 5,  // footers only: the list is complete, nothing loads
};

// Observed on the scroll view, and on its pan recogniser.
inline constexpr const char* RFRefreshKeyPathContentOffset = "contentOffset";
inline constexpr const char* RFRefreshKeyPathContentSize = "contentSize";
inline constexpr const char* RFRefreshKeyPathPanState = "state";

// The user-defaults key of a header's last refresh time, unless the header is given another.
inline constexpr const char* RFRefreshHeaderLastUpdatedTimeKey = "RFRefreshHeaderLastUpdatedTimeKey";

inline constexpr CGFloat RFRefreshHeaderHeight = 54;
inline constexpr CGFloat RFRefreshFooterHeight = 44;
inline constexpr NSTimeInterval RFRefreshFastAnimationDuration = 0.25;
inline constexpr NSTimeInterval RFRefreshSlowAnimationDuration = 0.4;

inline constexpr const char* RFRefreshHeaderIdleText = "下拉可以刷新";
inline constexpr const char* RFRefreshHeaderPullingText = "松开立即刷新";
inline constexpr const char* RFRefreshHeaderRefreshingText = "正在刷新数据中...";

inline constexpr const char* RFRefreshAutoFooterIdleText = "点击或上拉加载更多";
inline constexpr const char* RFRefreshAutoFooterRefreshingText = "正在加载更多的数据...";
inline constexpr const char* RFRefreshAutoFooterNoMoreDataText = "已经全部加载完毕";

inline constexpr const char* RFRefreshBackFooterIdleText = "上拉可以加载更多";
inline constexpr const char* RFRefreshBackFooterPullingText = "松开立即加载更多";
inline constexpr const char* RFRefreshBackFooterRefreshingText = "正在加载更多的数据...";
inline constexpr const char* RFRefreshBackFooterNoMoreDataText = "已经全部加载完毕";
