#include "platform/ui/internal/TableGeometry.h"

#include <algorithm>

namespace dv::internal::uikit {

void TableGeometry::clear() { m_sections.clear(); }

TableSection& TableGeometry::addSection(CGFloat headerHeight)
{
    TableSection section;
    section.top = m_sections.empty() ? 0 : m_sections.back().bottom();
    section.headerHeight = std::max<CGFloat>(headerHeight, 0);
    section.rowTops.push_back(section.rowsTop());
    m_sections.push_back(std::move(section));
    return m_sections.back();
}

void TableGeometry::addRow(TableSection& section, CGFloat height) { section.rowTops.push_back(section.rowTops.back() + std::max<CGFloat>(height, 0)); }

void TableGeometry::endSection(TableSection& section, CGFloat footerHeight) { section.footerHeight = std::max<CGFloat>(footerHeight, 0); }

CGFloat TableGeometry::footerViewTop() const { return m_headerView + (m_sections.empty() ? 0 : m_sections.back().bottom()); }

std::pair<CGFloat, CGFloat> TableGeometry::row(NSInteger s, NSInteger r) const
{
    const auto& tops = section(s).rowTops;
    return {m_headerView + tops[std::size_t(r)], tops[std::size_t(r) + 1] - tops[std::size_t(r)]};
}

std::pair<CGFloat, CGFloat> TableGeometry::header(NSInteger s) const { return {m_headerView + section(s).top, section(s).headerHeight}; }

std::pair<CGFloat, CGFloat> TableGeometry::footer(NSInteger s) const { return {m_headerView + section(s).rowsEnd(), section(s).footerHeight}; }

std::pair<CGFloat, CGFloat> TableGeometry::wholeSection(NSInteger s) const
{
    return {m_headerView + section(s).top, section(s).bottom() - section(s).top};
}

std::pair<NSInteger, NSInteger> TableGeometry::sectionsIn(CGFloat top, CGFloat bottom) const
{
    top -= m_headerView;
    bottom -= m_headerView;
    // The first section that ends below `top`, the last that starts above `bottom`.
    auto first = std::upper_bound(m_sections.begin(), m_sections.end(), top, [](CGFloat y, const TableSection& s) { return y < s.bottom(); });
    auto last = std::lower_bound(m_sections.begin(), m_sections.end(), bottom, [](const TableSection& s, CGFloat y) { return s.top < y; });
    return {NSInteger(first - m_sections.begin()), NSInteger(last - m_sections.begin()) - 1};
}

std::pair<NSInteger, NSInteger> TableGeometry::rowsIn(NSInteger s, CGFloat top, CGFloat bottom) const
{
    const auto& tops = section(s).rowTops;
    top -= m_headerView;
    bottom -= m_headerView;
    // Row r spans [tops[r], tops[r + 1]): it meets the stretch when tops[r + 1] > top and
    // tops[r] < bottom.
    auto firstEnd = std::upper_bound(tops.begin() + 1, tops.end(), top);
    auto lastStart = std::lower_bound(tops.begin(), tops.end() - 1, bottom);
    return {NSInteger(firstEnd - (tops.begin() + 1)), NSInteger(lastStart - tops.begin()) - 1};
}

std::optional<std::pair<NSInteger, NSInteger>> TableGeometry::rowAt(CGFloat y) const
{
    auto [first, last] = sectionsIn(y, y + 1e-9);
    for (NSInteger s = first; s <= last; ++s) {
        auto [r0, r1] = rowsIn(s, y, y + 1e-9);
        if (r0 <= r1)
            return std::make_pair(s, r0);
    }
    return std::nullopt;
}

} // namespace dv::internal::uikit
