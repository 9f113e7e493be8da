// The selected positions (section, row or item) of a table or a collection view, and the two ways
// they change: a setter (selectRow/selectItem), which says nothing to the delegate, and a tap,
// which does. The view supplies what marking a cell and telling its delegate mean; the rules of
// single and multiple selection live here once. Main thread only, as the views.
#pragma once

#include "platform/base/Forward.h"

#include <set>
#include <utility>

namespace dv::internal::uikit {

class SelectionTracker {
public:
    using Position = std::pair<NSInteger, NSInteger>; // section, row or item
    enum class Mode { Single, Multiple };

    const std::set<Position>& positions() const { return m_positions; }
    bool contains(Position position) const { return m_positions.count(position) > 0; }
    void clear() { m_positions.clear(); }
    // Whether the position was selected.
    bool remove(Position position) { return m_positions.erase(position) > 0; }

    // A setter: in single selection every other position is let go first, each handed to
    // `unmark`; then `position` is selected (its cell is the caller's to mark).
    template <class Unmark>
    void select(Position position, Mode mode, Unmark unmark)
    {
        if (mode == Mode::Single)
            for (auto other : std::exchange(m_positions, {}))
                if (other != position)
                    unmark(other);
        m_positions.insert(position);
    }

    // A tap on `position`: in multiple selection a tap on a selected position gives it up, through
    // `deselect`, and nothing more; otherwise, in single selection, every other selected position
    // is given up through `deselect` (which removes it, or another one it is redirected to), then
    // `position` is selected and handed to `selected`.
    template <class Deselect, class Selected>
    void tap(Position position, Mode mode, Deselect deselect, Selected selected)
    {
        if (mode == Mode::Multiple && contains(position)) {
            deselect(position);
            return;
        }
        if (mode == Mode::Single) {
            const auto previous = m_positions;
            for (auto old : previous)
                if (old != position)
                    deselect(old);
        }
        m_positions.insert(position);
        selected(position);
    }

private:
    std::set<Position> m_positions;
};

} // namespace dv::internal::uikit
