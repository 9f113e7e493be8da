#include "platform/base/NSIndexSet.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSCoder.h"
#include "platform/base/NSString.h"

#include <algorithm>

DV_DEFINE_CLASS(NSIndexSet)
DV_DEFINE_CLASS(NSMutableIndexSet)

namespace {

constexpr NSUInteger kLimit = static_cast<NSUInteger>(NSNotFound);

// [start, end) of a range, clipped to the valid indexes.
std::pair<NSUInteger, NSUInteger> bounds(NSRange range)
{
    NSUInteger start = std::min(range.location, kLimit);
    NSUInteger end = range.length > kLimit - start ? kLimit : start + range.length;
    return {start, end};
}

} // namespace

Ref<NSIndexSet> NSIndexSet::init()
{
    NSObject::init();
    return self<NSIndexSet>();
}

Ref<NSIndexSet> NSIndexSet::initWithIndex(NSUInteger index)
{
    init();
    if (index < kLimit)
        add(index, index + 1);
    return self<NSIndexSet>();
}

Ref<NSIndexSet> NSIndexSet::initWithIndexesInRange(NSRange range)
{
    init();
    auto [start, end] = bounds(range);
    add(start, end);
    return self<NSIndexSet>();
}

Ref<NSIndexSet> NSIndexSet::initWithIndexSet(const Ref<NSIndexSet>& other)
{
    init();
    if (other)
        m_runs = other->m_runs;
    return self<NSIndexSet>();
}

Ref<NSIndexSet> NSIndexSet::indexSet() { return alloc<NSIndexSet>()->init(); }
Ref<NSIndexSet> NSIndexSet::indexSetWithIndex(NSUInteger index) { return alloc<NSIndexSet>()->initWithIndex(index); }
Ref<NSIndexSet> NSIndexSet::indexSetWithIndexesInRange(NSRange range)
{
    return alloc<NSIndexSet>()->initWithIndexesInRange(range);
}

std::vector<NSIndexSet::Run>::const_iterator NSIndexSet::runAtOrAfter(NSUInteger index) const
{
    return std::upper_bound(m_runs.begin(), m_runs.end(), index, [](NSUInteger i, const Run& run) { return i < run.end; });
}

void NSIndexSet::add(NSUInteger start, NSUInteger end)
{
    if (start >= end)
        return;
    // Runs that touch or overlap [start, end) merge into one.
    auto first = std::lower_bound(m_runs.begin(), m_runs.end(), start, [](const Run& run, NSUInteger s) { return run.end < s; });
    auto last = first;
    while (last != m_runs.end() && last->start <= end) {
        start = std::min(start, last->start);
        end = std::max(end, last->end);
        ++last;
    }
    first = m_runs.erase(first, last);
    m_runs.insert(first, Run {start, end});
}

void NSIndexSet::remove(NSUInteger start, NSUInteger end)
{
    if (start >= end)
        return;
    std::vector<Run> kept;
    kept.reserve(m_runs.size() + 1);
    for (const Run& run : m_runs) {
        if (run.end <= start || run.start >= end) {
            kept.push_back(run);
            continue;
        }
        if (run.start < start)
            kept.push_back({run.start, start});
        if (run.end > end)
            kept.push_back({end, run.end});
    }
    m_runs = std::move(kept);
}

NSUInteger NSIndexSet::count() const
{
    NSUInteger total = 0;
    for (const Run& run : m_runs)
        total += run.end - run.start;
    return total;
}

NSUInteger NSIndexSet::countOfIndexesInRange(NSRange range) const
{
    auto [start, end] = bounds(range);
    NSUInteger total = 0;
    for (auto it = runAtOrAfter(start); it != m_runs.end() && it->start < end; ++it)
        total += std::min(end, it->end) - std::max(start, it->start);
    return total;
}

NSUInteger NSIndexSet::firstIndex() const { return m_runs.empty() ? kLimit : m_runs.front().start; }
NSUInteger NSIndexSet::lastIndex() const { return m_runs.empty() ? kLimit : m_runs.back().end - 1; }

NSUInteger NSIndexSet::indexGreaterThanOrEqualToIndex(NSUInteger index) const
{
    auto it = runAtOrAfter(index);
    if (it == m_runs.end())
        return kLimit;
    return std::max(index, it->start);
}

NSUInteger NSIndexSet::indexGreaterThanIndex(NSUInteger index) const
{
    if (index >= kLimit - 1)
        return kLimit;
    return indexGreaterThanOrEqualToIndex(index + 1);
}

NSUInteger NSIndexSet::indexLessThanOrEqualToIndex(NSUInteger index) const
{
    auto it = runAtOrAfter(index);
    if (it != m_runs.end() && it->start <= index)
        return index;
    if (it == m_runs.begin())
        return kLimit;
    return std::prev(it)->end - 1;
}

NSUInteger NSIndexSet::indexLessThanIndex(NSUInteger index) const
{
    if (index == 0)
        return kLimit;
    return indexLessThanOrEqualToIndex(index - 1);
}

bool NSIndexSet::containsIndex(NSUInteger index) const
{
    auto it = runAtOrAfter(index);
    return it != m_runs.end() && it->start <= index;
}

bool NSIndexSet::containsIndexesInRange(NSRange range) const
{
    auto [start, end] = bounds(range);
    if (start >= end || range.location >= kLimit)
        return false;
    auto it = runAtOrAfter(start);
    return it != m_runs.end() && it->start <= start && it->end >= end;
}

bool NSIndexSet::containsIndexes(const Ref<NSIndexSet>& other) const
{
    if (!other)
        return false;
    for (const Run& run : other->m_runs)
        if (!containsIndexesInRange(NSMakeRange(run.start, run.end - run.start)))
            return false;
    return true;
}

bool NSIndexSet::intersectsIndexesInRange(NSRange range) const
{
    auto [start, end] = bounds(range);
    auto it = runAtOrAfter(start);
    return start < end && it != m_runs.end() && it->start < end;
}

void NSIndexSet::enumerateIndexesUsingBlock(const std::function<void(NSUInteger, bool*)>& block) const
{
    if (!block)
        return;
    // The block may mutate a mutable set; walk a snapshot.
    std::vector<Run> runs = m_runs;
    bool stop = false;
    for (const Run& run : runs)
        for (NSUInteger i = run.start; i < run.end; ++i) {
            block(i, &stop);
            if (stop)
                return;
        }
}

void NSIndexSet::enumerateRangesUsingBlock(const std::function<void(NSRange, bool*)>& block) const
{
    if (!block)
        return;
    std::vector<Run> runs = m_runs;
    bool stop = false;
    for (const Run& run : runs) {
        block(NSMakeRange(run.start, run.end - run.start), &stop);
        if (stop)
            return;
    }
}

std::vector<NSRange> NSIndexSet::ranges() const
{
    std::vector<NSRange> out;
    out.reserve(m_runs.size());
    for (const Run& run : m_runs)
        out.push_back(NSMakeRange(run.start, run.end - run.start));
    return out;
}

bool NSIndexSet::isEqualToIndexSet(const Ref<NSIndexSet>& other) const { return other && other->m_runs == m_runs; }

Ref<NSString> NSIndexSet::description() const
{
    std::string indexes;
    for (const Run& run : m_runs) {
        if (!indexes.empty())
            indexes += ' ';
        indexes += std::to_string(run.start);
        if (run.end - run.start > 1)
            indexes += "-" + std::to_string(run.end - 1);
    }
    return NSString::stringWithFormat("<%s: %p>[number of indexes: %lu (in %lu ranges), indexes: (%s)]", getClass()->name(),
                                      static_cast<const void*>(this), static_cast<unsigned long>(count()),
                                      static_cast<unsigned long>(m_runs.size()), indexes);
}

bool NSIndexSet::isEqual(const NSObject* other) const
{
    auto set = dynamic_cast<const NSIndexSet*>(other);
    return set && set->m_runs == m_runs;
}

NSUInteger NSIndexSet::hash() const
{
    NSUInteger h = m_runs.size();
    for (const Run& run : m_runs)
        h = (h * 1000003u ^ run.start) * 1000003u ^ run.end;
    return h;
}

id NSIndexSet::copyWithZone(NSZone*) const { return std::const_pointer_cast<NSObject>(shared_from_this()); }

void NSIndexSet::encodeWithCoder(NSCoder& coder) const
{
    coder.encodeInteger(static_cast<NSInteger>(m_runs.size()), "NSRangeCount"_ns);
    if (m_runs.size() == 1) {
        coder.encodeInteger(static_cast<NSInteger>(m_runs[0].start), "NSLocation"_ns);
        coder.encodeInteger(static_cast<NSInteger>(m_runs[0].end - m_runs[0].start), "NSLength"_ns);
        return;
    }
    if (m_runs.empty())
        return;
    std::vector<std::uint8_t> bytes;
    auto put = [&bytes](NSUInteger value) {
        do {
            std::uint8_t byte = value & 0x7F;
            value >>= 7;
            bytes.push_back(value ? byte | 0x80 : byte);
        } while (value);
    };
    for (const Run& run : m_runs) {
        put(run.start);
        put(run.end - run.start);
    }
    coder.encodeBytes(bytes.data(), bytes.size(), "NSRangeData"_ns);
}

id NSIndexSet::initWithCoder(NSCoder& coder)
{
    init();
    const NSInteger count = coder.decodeIntegerForKey("NSRangeCount"_ns);
    if (count == 1) {
        const NSInteger location = coder.decodeIntegerForKey("NSLocation"_ns);
        const NSInteger length = coder.decodeIntegerForKey("NSLength"_ns);
        if (location >= 0 && length > 0) {
            auto [from, to] = bounds(NSMakeRange(NSUInteger(location), NSUInteger(length)));
            add(from, to);
        }
    } else if (count > 1) {
        NSUInteger length = 0;
        const std::uint8_t* bytes = coder.decodeBytesForKey("NSRangeData"_ns, &length);
        std::size_t at = 0;
        // A truncated or overlong varint ends the list: a corrupt archive must not raise.
        auto get = [&](NSUInteger& value) {
            value = 0;
            for (int shift = 0; at < length && shift < 64; shift += 7) {
                std::uint8_t byte = bytes[at++];
                value |= NSUInteger(byte & 0x7F) << shift;
                if (!(byte & 0x80))
                    return true;
            }
            return false;
        };
        NSUInteger start = 0, span = 0;
        while (bytes && at < length && get(start) && get(span)) {
            auto [from, to] = bounds(NSMakeRange(start, span));
            if (from < to)
                add(from, to);
        }
    }
    return self();
}

id NSIndexSet::mutableCopyWithZone(NSZone*) const
{
    auto copy = NSMutableIndexSet::indexSet();
    copy->m_runs = m_runs;
    return copy;
}

// MARK: - NSMutableIndexSet

Ref<NSMutableIndexSet> NSMutableIndexSet::indexSet()
{
    auto set = alloc<NSMutableIndexSet>();
    set->init();
    return set;
}

Ref<NSMutableIndexSet> NSMutableIndexSet::indexSetWithIndex(NSUInteger index)
{
    auto set = indexSet();
    set->addIndex(index);
    return set;
}

Ref<NSMutableIndexSet> NSMutableIndexSet::indexSetWithIndexesInRange(NSRange range)
{
    auto set = indexSet();
    set->addIndexesInRange(range);
    return set;
}

void NSMutableIndexSet::addIndex(NSUInteger index)
{
    if (index < kLimit)
        add(index, index + 1);
}

void NSMutableIndexSet::addIndexesInRange(NSRange range)
{
    auto [start, end] = bounds(range);
    add(start, end);
}

void NSMutableIndexSet::addIndexes(const Ref<NSIndexSet>& other)
{
    if (!other || other.get() == this)
        return;
    for (const NSRange& range : other->ranges())
        add(range.location, range.location + range.length);
}

void NSMutableIndexSet::removeIndex(NSUInteger index)
{
    if (index < kLimit)
        remove(index, index + 1);
}

void NSMutableIndexSet::removeIndexesInRange(NSRange range)
{
    auto [start, end] = bounds(range);
    remove(start, end);
}

void NSMutableIndexSet::removeIndexes(const Ref<NSIndexSet>& other)
{
    if (!other)
        return;
    for (const NSRange& range : other->ranges())
        remove(range.location, range.location + range.length);
}

void NSMutableIndexSet::removeAllIndexes() { m_runs.clear(); }

void NSMutableIndexSet::shiftIndexesStartingAtIndex(NSUInteger index, NSInteger delta)
{
    if (delta == 0 || index >= kLimit)
        return;
    std::vector<Run> below, above;
    NSUInteger gapStart = index;
    if (delta < 0) {
        NSUInteger distance = delta == NSIntegerMin ? kLimit : static_cast<NSUInteger>(-delta);
        gapStart = distance >= index ? 0 : index - distance;
        remove(gapStart, index);
    }
    for (const Run& run : m_runs) {
        if (run.end <= index) {
            below.push_back(run);
        } else if (run.start >= index) {
            above.push_back(run);
        } else {
            below.push_back({run.start, index});
            above.push_back({index, run.end});
        }
    }
    m_runs = std::move(below);
    for (const Run& run : above) {
        NSUInteger start, end;
        if (delta > 0) {
            NSUInteger d = static_cast<NSUInteger>(delta);
            if (run.start >= kLimit - std::min(d, kLimit))
                continue;
            start = run.start + d;
            end = run.end > kLimit - d ? kLimit : run.end + d;
        } else {
            NSUInteger d = index - gapStart;
            start = run.start - d;
            end = run.end - d;
        }
        add(start, end);
    }
}

id NSMutableIndexSet::copyWithZone(NSZone*) const
{
    return alloc<NSIndexSet>()->initWithIndexSet(std::static_pointer_cast<NSIndexSet>(std::const_pointer_cast<NSObject>(shared_from_this())));
}
