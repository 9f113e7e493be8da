// A base fixture's member that fails the test when objects made during it are still alive once
// the fixture is gone: a retain cycle, an observer or a block that keeps its owner, a process-wide
// table that never lets go. Declare it as the fixture's first member, so that it is destroyed
// last, after the fixture's other members (the manual clock, which drops the test's pending
// timers and delayed blocks with it) and the test's own objects.
//
// What the process makes once and keeps (shared instances, class-level caches, a thread's own
// objects) is left out of the count where it is made (platform/base/KeptObjects.h); what a test
// puts into process-wide state (user defaults, caches, the pasteboard) its fixture takes out
// again. The count must come back exactly: fewer objects than at the start means an earlier
// test's objects went only now.
//
//   class ScreenTest : public ::testing::Test {
//   protected:
//       dv::test::LiveObjectCheck m_liveObjects; // first
//       ...
//   };
#pragma once

#include "platform/base/LiveObjects.h"
#include "platform/base/NSObject.h"
#include "platform/testing/support/RunLoopWaits.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

namespace dv::test {

class LiveObjectCheck {
public:
    LiveObjectCheck() : m_mark(dv::recordLiveObjects()), m_start(dv::liveObjectCount()) { }
    ~LiveObjectCheck()
    {
        const bool afterLeftOut = std::exchange(previousLeftOut(), !m_leftOutBecause.empty());
        if (!m_leftOutBecause.empty())
            return;
        // What other threads still hold goes a moment later (a finished transfer its session's
        // thread lets go of, a queue's last block): the main loop turns until the count is back,
        // within a bound; what stays past it is kept by something.
        dv::testing::runMainLoopUntil([this] { return dv::liveObjectCount() <= m_start; }, kSettleSeconds);
        const std::int64_t left = dv::liveObjectCount() - m_start;
        // What a test left out keeps may go during the next one: a fall is no fault then.
        if (afterLeftOut && left < 0)
            return;
        EXPECT_EQ(left, 0) << "objects made during the test are still alive after it (or, below zero, objects made "
                              "before it went only during it)"
                           << (left > 0 ? survivors() : std::string());
    }
    LiveObjectCheck(const LiveObjectCheck&) = delete;
    LiveObjectCheck& operator=(const LiveObjectCheck&) = delete;

    // Leaves this test out of the check, saying why (the next test's check then minds only
    // objects of its own that stay).
    void leaveOut(std::string reason) { m_leftOutBecause = std::move(reason); }

private:
    // What stays, by class: "; still alive: 3 NSData, 1 NSURLResponse".
    std::string survivors() const
    {
        std::string text;
        for (const auto& [name, count] : dv::liveObjectClassesMadeSince(m_mark))
            text += (text.empty() ? "; still alive: " : ", ") + std::to_string(count) + " " + name;
        return text;
    }

    // Generous: a picture's cache write holds its bytes until its flush to the disk has ended,
    // which on a machine busy with other disk work can take seconds. A passing test waits only
    // until its count is back.
    static constexpr double kSettleSeconds = 30;

    static bool& previousLeftOut()
    {
        static bool s_leftOut = false;
        return s_leftOut;
    }

    std::uint64_t m_mark;
    std::int64_t m_start;
    std::string m_leftOutBecause;
};

} // namespace dv::test
