// Where the parts of a table stand, along its height: the table header view, then each section
// (its header, its rows, its footer), then the table footer view. Built once per reload from the
// heights the table collects; the rows of a section are kept as running tops, so finding what
// meets a stretch of the content is a binary search, whatever the number of rows. Main thread
// only (owned by its UITableView).
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"

#include <optional>
#include <utility>
#include <vector>

namespace dv::internal::uikit {

struct TableSection {
    CGFloat top = 0; // below the table header view
    CGFloat headerHeight = 0;
    CGFloat footerHeight = 0;
    std::vector<CGFloat> rowTops; // one per row and one for the end of the rows, below the header
    NSInteger rows() const { return NSInteger(rowTops.size()) - 1; }
    CGFloat rowsTop() const { return top + headerHeight; }
    CGFloat rowsEnd() const { return rowTops.back(); }
    CGFloat bottom() const { return rowTops.back() + footerHeight; }
};

class TableGeometry {
public:
    // Sections are added in order, each after the last.
    void clear();
    TableSection& addSection(CGFloat headerHeight);
    void addRow(TableSection& section, CGFloat height);
    void endSection(TableSection& section, CGFloat footerHeight);
    void setHeaderViewHeight(CGFloat height) { m_headerView = height; }
    void setFooterViewHeight(CGFloat height) { m_footerView = height; }

    NSInteger sections() const { return NSInteger(m_sections.size()); }
    const TableSection& section(NSInteger index) const { return m_sections[std::size_t(index)]; }
    // Where the table footer view starts, and the height of everything.
    CGFloat footerViewTop() const;
    CGFloat contentHeight() const { return footerViewTop() + m_footerView; }

    // In content coordinates (the table header view counted); y and height only.
    std::pair<CGFloat, CGFloat> row(NSInteger section, NSInteger row) const;
    std::pair<CGFloat, CGFloat> header(NSInteger section) const;
    std::pair<CGFloat, CGFloat> footer(NSInteger section) const;
    std::pair<CGFloat, CGFloat> wholeSection(NSInteger section) const;

    // The sections, and the rows of one section, that meet [top, bottom), as [first, last] (empty
    // when last < first).
    std::pair<NSInteger, NSInteger> sectionsIn(CGFloat top, CGFloat bottom) const;
    std::pair<NSInteger, NSInteger> rowsIn(NSInteger section, CGFloat top, CGFloat bottom) const;
    // The row whose span holds y.
    std::optional<std::pair<NSInteger, NSInteger>> rowAt(CGFloat y) const;

private:
    std::vector<TableSection> m_sections;
    CGFloat m_headerView = 0;
    CGFloat m_footerView = 0;
};

} // namespace dv::internal::uikit
