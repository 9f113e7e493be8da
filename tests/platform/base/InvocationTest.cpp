// NSInvocation: made only for a target that answers the selector, arguments from index 2, held
// weakly until retainArguments, and the method's result handed back.
#include "platform/base/Base.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSInvocation.h"

#include <gtest/gtest.h>

namespace {

class DVJoiner : public NSObject {
    DV_CLASS(DVJoiner, NSObject)
};

} // namespace

DV_DEFINE_CLASS_WITH(DVJoiner, b)
{
    b.method("join:with:", "@32@0:8@16@24", [](DVJoiner&, std::span<const id> args) -> id {
        auto a = args.size() > 0 && args[0] ? dv::str(args[0]) : std::string("-");
        auto c = args.size() > 1 && args[1] ? dv::str(args[1]) : std::string("-");
        return NSString::fromUTF8(a + "+" + c);
    });
}

TEST(Invocation, MadeOnlyForATargetThatAnswers)
{
    auto joiner = alloc<DVJoiner>();
    EXPECT_EQ(NSInvocation::invocationWithTarget(joiner, "split:"), nil);
    EXPECT_EQ(NSInvocation::invocationWithTarget(nil, "join:with:"), nil);
    auto invocation = NSInvocation::invocationWithTarget(joiner, "join:with:");
    ASSERT_NE(invocation, nil);
    EXPECT_EQ(invocation->numberOfArguments(), 4u);
    EXPECT_EQ(invocation->argumentAtIndex(0), joiner);
}

TEST(Invocation, ArgumentsAreWeakUntilRetained)
{
    auto joiner = alloc<DVJoiner>();
    auto invocation = NSInvocation::invocationWithTarget(joiner, "join:with:");
    auto c = "c"_ns;
    invocation->setArgument(NSMutableString::fromUTF8("a"), 2);
    invocation->setArgument(c, 3);
    // The mutable string had no other owner: gone, it reads as nil.
    EXPECT_EQ(dv::str(invocation->invoke()), "-+c");

    auto kept = NSMutableString::fromUTF8("a");
    invocation->setArgument(kept, 2);
    invocation->retainArguments();
    EXPECT_TRUE(invocation->argumentsRetained());
    kept = nil;
    EXPECT_EQ(dv::str(invocation->invoke()), "a+c");

    // The target: not kept without retainArguments; a gone target answers nothing.
    auto other = NSInvocation::invocationWithTarget(alloc<DVJoiner>(), "join:with:");
    EXPECT_EQ(other->target(), nil);
    EXPECT_EQ(other->invoke(), nil);
}
