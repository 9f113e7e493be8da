// Keyed archiving of models through the model operations.
#include "TestModels.h"

#include "platform/base/NSCoder.h"
#include "platform/base/NSKeyedArchiver.h"
#include "platform/base/NSKeyedUnarchiver.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDecimalNumber.h"
#include "platform/base/NSURL.h"

#include <gtest/gtest.h>

#include <limits>

class TMArchived : public NSObject, public NSCoding {
    DV_CLASS(TMArchived, NSObject)
    Ref<NSString> m_title;
    int m_count = 0;
    unsigned long long m_big = 0;
    float m_ratio = 0;
    Ref<NSArray> m_tags;
    Ref<TMAuthor> m_author; // does not adopt NSCoding: left out
    SEL m_action;
    Ref<NSString> m_fixed = "fixed"_ns;
    Ref<NSURL> m_link;
    Ref<NSDecimalNumber> m_price;
    Ref<NSDate> m_added;
    CGRect m_frame {};
    CGPoint m_origin {};

    void encodeWithCoder(NSCoder& coder) const override { mm_modelEncodeWithCoder(this, &coder); }
    id initWithCoder(NSCoder& coder) override { return mm_modelInitWithCoder(this, &coder); }
    NSUInteger hash() const override { return mm_modelHash(this); }
    bool isEqual(const NSObject* other) const override { return mm_modelIsEqual(this, other); }
};

DV_DEFINE_CLASS_WITH(TMArchived, b)
{
    b.property("title", &TMArchived::m_title, "T@\"NSString\",C,N,V_title");
    b.property("count", &TMArchived::m_count, "Ti,N,V_count");
    b.property("big", &TMArchived::m_big, "TQ,N,V_big");
    b.property("ratio", &TMArchived::m_ratio, "Tf,N,V_ratio");
    b.property("tags", &TMArchived::m_tags, "T@\"NSArray\",&,N,V_tags");
    b.property("author", &TMArchived::m_author, "T@\"TMAuthor\",&,N,V_author");
    b.property("action", &TMArchived::m_action, "T:,N,V_action");
    b.property<Ref<NSString>>("fixed", "T@\"NSString\",R,N,V_fixed", [](const TMArchived& m) { return m.m_fixed; });
    b.property("link", &TMArchived::m_link, "T@\"NSURL\",&,N,V_link");
    b.property("price", &TMArchived::m_price, "T@\"NSDecimalNumber\",&,N,V_price");
    b.property("added", &TMArchived::m_added, "T@\"NSDate\",&,N,V_added");
    b.property("frame", &TMArchived::m_frame, "T{CGRect={CGPoint=dd}{CGSize=dd}},N,V_frame");
    b.property("origin", &TMArchived::m_origin, "T{CGPoint=dd},N,V_origin");
}

namespace {

// Records the keys a model writes.
class KeyRecorder : public NSCoder {
public:
    void encodeObject(const id& object, const Ref<NSString>& key) override { keys.emplace_back(dv::str(key), object); }
    bool has(std::string_view key) const
    {
        for (auto& [name, object] : keys)
            if (name == key)
                return true;
        return false;
    }
    std::vector<std::pair<std::string, id>> keys;
};

Ref<TMArchived> roundTrip(const Ref<TMArchived>& model, Ref<NSError>* error)
{
    Ref<NSData> data = NSKeyedArchiver::archivedDataWithRootObject(model, false, error);
    if (!data)
        return nil;
    return dv::as<TMArchived>(NSKeyedUnarchiver::unarchiveTopLevelObjectWithData(data, error));
}

TEST(MMModelCodingTest, PropertiesSurviveAnArchive)
{
    auto model = alloc<TMArchived>();
    model->m_title = "标题"_ns;
    model->m_count = -3;
    model->m_big = std::numeric_limits<unsigned long long>::max();
    model->m_ratio = 0.5f;
    model->m_tags = NSArray::of({"a"_ns, NSNumber::from(2)});
    model->m_author = alloc<TMAuthor>();
    model->m_action = SEL("refresh:");

    Ref<NSError> error;
    auto back = roundTrip(model, &error);
    ASSERT_TRUE(back) << dv::str(error);
    EXPECT_EQ(dv::str(back->m_title), "标题");
    EXPECT_EQ(back->m_count, -3);
    EXPECT_EQ(back->m_big, std::numeric_limits<unsigned long long>::max());
    EXPECT_FLOAT_EQ(back->m_ratio, 0.5f);
    ASSERT_TRUE(back->m_tags);
    EXPECT_TRUE(back->m_tags->isEqual(model->m_tags.get()));
    EXPECT_FALSE(back->m_author);
    EXPECT_EQ(back->m_action, SEL("refresh:"));
}

// URLs, decimal numbers and geometry properties are archived with the rest instead of failing the
// archive or being left out, and come back as their own kinds.
TEST(MMModelCodingTest, URLDecimalAndGeometryPropertiesSurvive)
{
    auto model = alloc<TMArchived>();
    model->m_title = "t"_ns;
    model->m_link = NSURL::URLWithString("http://127.0.0.1:8092/DV/qrcode/listCode.do"_ns);
    model->m_price = NSDecimalNumber::decimalNumberWithString("19.99"_ns);
    model->m_added = NSDate::dateWithTimeIntervalSinceReferenceDate(500000000.5);
    model->m_frame = CGRectMake(10, 74, 355, 21.5);
    model->m_origin = CGPointMake(-1, 2);

    Ref<NSError> error;
    auto back = roundTrip(model, &error);
    ASSERT_TRUE(back) << dv::str(error);
    EXPECT_EQ(dv::str(back->m_title), "t");
    ASSERT_TRUE(back->m_link);
    EXPECT_TRUE(back->m_link->isEqual(model->m_link));
    ASSERT_TRUE(back->m_price);
    EXPECT_EQ(dv::str(back->m_price->stringValue()), "19.99");
    EXPECT_TRUE(dv::equal(back->m_added, model->m_added));
    EXPECT_EQ(back->m_frame, CGRectMake(10, 74, 355, 21.5));
    EXPECT_EQ(back->m_origin, CGPointMake(-1, 2));
    EXPECT_TRUE(back->isEqual(model.get()));
}

TEST(MMModelCodingTest, NaNIsLeftOutAndReadOnlyIsNotReadBack)
{
    auto model = alloc<TMArchived>();
    model->m_ratio = std::numeric_limits<float>::quiet_NaN();
    model->m_fixed = "changed"_ns;
    model->m_title = "t"_ns;
    KeyRecorder recorder;
    mm_modelEncodeWithCoder(model.get(), &recorder);
    EXPECT_FALSE(recorder.has("ratio"));
    EXPECT_FALSE(recorder.has("author")); // nil
    EXPECT_TRUE(recorder.has("title"));
    EXPECT_TRUE(recorder.has("fixed"));
    EXPECT_TRUE(recorder.has("count"));

    Ref<NSError> error;
    auto back = roundTrip(model, &error);
    ASSERT_TRUE(back) << dv::str(error);
    EXPECT_EQ(back->m_ratio, 0.0f);
    EXPECT_EQ(dv::str(back->m_fixed), "fixed");
}

TEST(MMModelCodingTest, NilCoderChangesNothing)
{
    auto model = alloc<TMArchived>();
    model->m_count = 4;
    mm_modelEncodeWithCoder(model.get(), nullptr);
    EXPECT_EQ(mm_modelInitWithCoder(model.get(), nullptr).get(), static_cast<NSObject*>(model.get()));
    EXPECT_EQ(model->m_count, 4);
}

} // namespace
