// The parts both prospect search screens build the same way: the region row with its label, the
// search button and where the picker panel's parts go.
//
//   m_locatLabel = dv::internal::directory::addRegionRow(view(), self(), "changeLoact:");
//   dv::internal::directory::addSearchButton(view(), self(), "searchAct:");
//   createPickerPanel(dv::internal::directory::searchPanelLayout(230));
//
// Main thread.
#pragma once

#include "app/directory/region/RegionPickerController.h"

class UILabel;

namespace dv::internal::directory {

// The text of the region label until a region is confirmed.
inline constexpr const char* kNoRegionText = "请选择地区";

// A white row (0, 20, W, 80) added to `view`: the sign "dizhi", "地区", the region label (grey,
// "请选择地区") and the arrow "next"; a tap anywhere on it sends `action` to `target`. Answers the
// region label.
Ref<UILabel> addRegionRow(const Ref<UIView>& view, const id& target, const SEL& action);
// "搜索" (40, 260, W − 80, 45), rounded, sending `action` to `target` when tapped.
void addSearchButton(const Ref<UIView>& view, const id& target, const SEL& action);
// The panel (0, H − 285, W, `height`) with the picker on top and the two buttons side by side
// under it.
dv::app::PickerPanelLayout searchPanelLayout(CGFloat height);

} // namespace dv::internal::directory
