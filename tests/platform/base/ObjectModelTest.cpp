#include "platform/base/Base.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/LiveObjects.h"

#include <gtest/gtest.h>

// A small reflected class, declared the way model classes declare themselves.
class DVTestPerson : public NSObject, public NSCopying {
    DV_CLASS(DVTestPerson, NSObject)

    Ref<NSString> m_name;
    NSInteger m_age = 0;
    bool m_active = false;
    CGRect m_frame {};

    id copyWithZone(NSZone*) const override
    {
        auto copy = alloc<DVTestPerson>();
        copy->m_name = m_name;
        copy->m_age = m_age;
        return copy;
    }
};

class DVTestEmployee : public DVTestPerson {
    DV_CLASS(DVTestEmployee, DVTestPerson)
    Ref<NSString> m_title;
};

DV_DEFINE_CLASS_WITH(DVTestPerson, b)
{
    b.property("name", &DVTestPerson::m_name, "T@\"NSString\",C,N,V_name");
    b.property("age", &DVTestPerson::m_age, "Tq,N,V_age");
    b.property("active", &DVTestPerson::m_active, "TB,N,GisActive,V_active");
    b.property("frame", &DVTestPerson::m_frame, "N,V_frame");
    b.method("greet:", "@24@0:8@16", [](DVTestPerson& self, std::span<const id> args) -> id {
        return NSString::stringWithFormat("%@ greets %@", self.m_name, args.empty() ? nullptr : args[0]);
    });
    b.classMethodReturning("modelCustomPropertyMapper", [] { return NSDictionary::of({{"name"_ns, "n"_ns}}); });
}

DV_DEFINE_CLASS_WITH(DVTestEmployee, b)
{
    b.property("title", &DVTestEmployee::m_title, "T@\"NSString\",&,N,V_title");
}

TEST(Runtime, ClassesAreFoundByNameAndKnowTheirAncestry)
{
    Class person = NSClassFromString("DVTestPerson"_ns);
    ASSERT_EQ(person, DVTestPerson::class_());
    EXPECT_EQ(NSClassFromString("DVTestEmployee"_ns)->superclass(), person);
    EXPECT_EQ(person->superclass(), NSObject::class_());
    EXPECT_EQ(NSObject::class_()->superclass(), Nil);
    EXPECT_EQ(NSClassFromString("NoSuchClass"_ns), Nil);
    EXPECT_EQ(NSClassFromString(nullptr), Nil);
    EXPECT_EQ(NSStringFromClass(person)->utf8(), "DVTestPerson");

    auto employee = alloc<DVTestEmployee>();
    EXPECT_TRUE(employee->isKindOfClass(person));
    EXPECT_TRUE(employee->isKindOfClass(NSObject::class_()));
    EXPECT_FALSE(employee->isMemberOfClass(person));
    EXPECT_TRUE(employee->isMemberOfClass(DVTestEmployee::class_()));
    EXPECT_FALSE(employee->isKindOfClass(NSString::class_()));
    EXPECT_FALSE(employee->isKindOfClass(Nil));
    EXPECT_TRUE(DVTestEmployee::class_()->isSubclassOfClass(person));
    EXPECT_FALSE(person->isSubclassOfClass(DVTestEmployee::class_()));
    EXPECT_EQ(employee->className()->utf8(), "DVTestEmployee");
}

TEST(Runtime, MetaclassesFollowThePlatformShape)
{
    Class person = DVTestPerson::class_();
    Class meta = objc_getMetaClass("DVTestPerson");
    ASSERT_NE(meta, Nil);
    EXPECT_TRUE(class_isMetaClass(meta));
    EXPECT_FALSE(class_isMetaClass(person));
    EXPECT_EQ(meta->metaclass(), Nil);
    EXPECT_EQ(meta->instanceClass(), person);
    EXPECT_EQ(class_getSuperclass(meta), objc_getMetaClass("NSObject"));
    // The root metaclass's superclass is the root class.
    EXPECT_EQ(class_getSuperclass(objc_getMetaClass("NSObject")), NSObject::class_());
    EXPECT_TRUE(person->respondsToSelector("modelCustomPropertyMapper"));
    EXPECT_TRUE(DVTestEmployee::class_()->respondsToSelector("modelCustomPropertyMapper"));
    auto mapper = dv::as<NSDictionary>(person->performClassSelector("modelCustomPropertyMapper"));
    ASSERT_TRUE(mapper);
    EXPECT_EQ(dv::str(mapper->objectForKey("name")), "n");
}

TEST(Runtime, PropertiesCarryAttributesIvarsAndAccessors)
{
    Class person = DVTestPerson::class_();
    auto* name = person->findOwnProperty("name");
    ASSERT_NE(name, nullptr);
    auto attributes = name->attributeList();
    ASSERT_EQ(attributes.size(), 4u);
    EXPECT_EQ(attributes[0], (std::pair<std::string, std::string>("T", "@\"NSString\"")));
    EXPECT_EQ(attributes[3], (std::pair<std::string, std::string>("V", "_name")));

    auto* frame = person->findOwnProperty("frame");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->attributes, "T{CGRect={CGPoint=dd}{CGSize=dd}},N,V_frame");
    EXPECT_EQ(frame->attributeList().size(), 3u);

    ASSERT_EQ(person->ivars().size(), 4u);
    EXPECT_EQ(person->ivars()[0].name, "_name");
    EXPECT_EQ(person->ivars()[0].typeEncoding, "@\"NSString\"");
    EXPECT_EQ(person->ivars()[1].typeEncoding, "q");
    EXPECT_NE(person->ivars()[0].offset, person->ivars()[1].offset);

    // Inherited members are found through the superclass; own lists hold only own members.
    EXPECT_EQ(DVTestEmployee::class_()->properties().size(), 1u);
    EXPECT_NE(DVTestEmployee::class_()->findProperty("age"), nullptr);
    EXPECT_EQ(DVTestEmployee::class_()->findOwnProperty("age"), nullptr);
}

TEST(Runtime, KeyValueCodingBoxesAndUnboxes)
{
    auto person = alloc<DVTestPerson>();
    person->setValueForKey("Li"_ns, "name"_ns);
    person->setValueForKey(NSNumber::from(42), "age"_ns);
    person->setValueForKey(NSNumber::from(true), "active"_ns);
    person->setValueForKey(NSValue::valueWithCGRect(CGRectMake(1, 2, 3, 4)), "frame"_ns);
    EXPECT_EQ(dv::str(person->m_name), "Li");
    EXPECT_EQ(person->m_age, 42);
    EXPECT_TRUE(person->m_active);
    EXPECT_EQ(person->m_frame, CGRectMake(1, 2, 3, 4));
    EXPECT_EQ(dv::as<NSNumber>(person->valueForKey("age"_ns))->integerValue(), 42);

    // A value of the wrong kind leaves the zero value, never a crash.
    person->setValueForKey("not a number"_ns, "age"_ns);
    EXPECT_EQ(person->m_age, 0);
    EXPECT_THROW(person->valueForKey("missing"_ns), dv::RaisedException);
    EXPECT_THROW(person->setValueForKey("x"_ns, "missing"_ns), dv::RaisedException);

    auto* typed = dv::typedAccess<NSInteger>(*DVTestPerson::class_()->findProperty("age"));
    ASSERT_NE(typed, nullptr);
    typed->set(*person, 7);
    EXPECT_EQ(typed->get(*person), 7);
    EXPECT_EQ(dv::typedAccess<double>(*DVTestPerson::class_()->findProperty("age")), nullptr);
}

TEST(Runtime, RespondsToRegisteredSelectorsAndAccessors)
{
    auto person = alloc<DVTestPerson>();
    person->m_name = "Wang"_ns;
    EXPECT_TRUE(person->respondsToSelector("greet:"));
    EXPECT_TRUE(person->respondsToSelector("name"));
    EXPECT_TRUE(person->respondsToSelector("setName:"));
    EXPECT_FALSE(person->respondsToSelector("fly"));
    EXPECT_FALSE(person->respondsToSelector(SEL()));
    EXPECT_TRUE(DVTestEmployee::class_()->instancesRespondToSelector("greet:"));
    id args[] = {"Zhao"_ns};
    EXPECT_EQ(dv::str(person->performSelector("greet:", args)), "Wang greets Zhao");
    EXPECT_EQ(person->performSelector("fly"), nullptr);
    EXPECT_EQ(SEL("greet:"), NSSelectorFromString("greet:"_ns));
    EXPECT_EQ(NSStringFromSelector(SEL("a:b:"))->utf8(), "a:b:");
}

TEST(Runtime, InstancesCanBeCreatedFromTheDescriptor)
{
    id made = NSClassFromString("DVTestEmployee"_ns)->createInstance();
    ASSERT_TRUE(made);
    EXPECT_TRUE(made->isMemberOfClass(DVTestEmployee::class_()));
    EXPECT_EQ(objc_getMetaClass("DVTestEmployee")->createInstance()->getClass(), DVTestEmployee::class_());
}

TEST(ObjectModel, CopyingFollowsTheProtocols)
{
    auto person = alloc<DVTestPerson>();
    person->m_name = "Li"_ns;
    auto copy = dv::as<DVTestPerson>(person->copy());
    ASSERT_TRUE(copy);
    EXPECT_NE(copy, person);
    EXPECT_EQ(dv::str(copy->m_name), "Li");
    EXPECT_THROW(person->mutableCopy(), dv::RaisedException);
    EXPECT_THROW(NSObject::new_()->copy(), dv::RaisedException);
}

TEST(ObjectModel, DefaultDescriptionEqualityAndHashAreIdentity)
{
    auto a = NSObject::new_();
    auto b = NSObject::new_();
    EXPECT_TRUE(a->isEqual(a));
    EXPECT_FALSE(a->isEqual(b));
    EXPECT_FALSE(a->isEqual(nullptr));
    EXPECT_NE(a->hash(), b->hash());
    EXPECT_TRUE(a->description()->hasPrefix("<NSObject: 0x"));
    EXPECT_TRUE(dv::equal(nullptr, nullptr));
    EXPECT_FALSE(dv::equal(a, nullptr));
}

TEST(ObjectModel, LiveObjectCountReturnsToItsStart)
{
    auto before = dv::liveObjectCount();
    {
        auto array = NSMutableArray::array();
        for (int i = 0; i < 10; ++i)
            array->addObject(NSNumber::from(100000 + i));
        EXPECT_GE(dv::liveObjectCount(), before + 11);
    }
    EXPECT_EQ(dv::liveObjectCount(), before);
    // The shared values made on first use here are kept for the process, but are not counted.
    {
        auto values = NSArray::of({NSNumber::from(-77), NSNumber::from(true), NSString::string(), NSArray::array(), NSDictionary::dictionary()});
        EXPECT_GE(dv::liveObjectCount(), before + 1);
    }
    EXPECT_EQ(dv::liveObjectCount(), before);
}

TEST(ObjectModel, TheLiveObjectRecordNamesWhatIsLeftButNotWhatIsKept)
{
    const auto mark = dv::recordLiveObjects();
    // Two people who hold each other: a cycle that outlives its scope.
    Weak<DVTestPerson> first;
    {
        auto a = alloc<DVTestPerson>();
        auto b = alloc<DVTestEmployee>();
        objc_setAssociatedObject(a, &first, b, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
        objc_setAssociatedObject(b, &first, a, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
        first = a;
    }
    // What is made to be kept, and what goes, are not named.
    static const Ref<DVTestPerson> kept = dv::keepingForever([] { return alloc<DVTestPerson>(); });
    static_cast<void>(alloc<DVTestPerson>());
    EXPECT_EQ(dv::liveObjectClassesMadeSince(mark),
        (std::vector<std::pair<std::string, int>> { { "DVTestEmployee", 1 }, { "DVTestPerson", 1 } }));

    // Broken, the cycle goes and nothing is left.
    auto a = first.lock();
    ASSERT_TRUE(a);
    objc_setAssociatedObject(a, &first, nil, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    a = nil;
    EXPECT_FALSE(first.lock());
    EXPECT_TRUE(dv::liveObjectClassesMadeSince(mark).empty());
}

TEST(Associations, PoliciesAndLifetimes)
{
    static const char strongKey = 0, weakKey = 0, copyKey = 0;
    auto owner = NSObject::new_();
    Weak<NSObject> strongValue;
    {
        auto value = NSObject::new_();
        strongValue = value;
        objc_setAssociatedObject(owner, &strongKey, value, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    }
    EXPECT_FALSE(strongValue.expired()); // kept by the association
    EXPECT_EQ(objc_getAssociatedObject(owner, &strongKey), strongValue.lock());

    {
        auto value = NSObject::new_();
        objc_setAssociatedObject(owner, &weakKey, value, OBJC_ASSOCIATION_ASSIGN);
        EXPECT_EQ(objc_getAssociatedObject(owner, &weakKey), value);
    }
    EXPECT_EQ(objc_getAssociatedObject(owner, &weakKey), nullptr); // assign does not keep it

    auto text = NSMutableString::fromUTF8("draft");
    objc_setAssociatedObject(owner, &copyKey, text, OBJC_ASSOCIATION_COPY);
    text->appendUTF8(" changed");
    EXPECT_EQ(dv::str(objc_getAssociatedObject(owner, &copyKey)), "draft");

    objc_setAssociatedObject(owner, &copyKey, nullptr, OBJC_ASSOCIATION_COPY);
    EXPECT_EQ(objc_getAssociatedObject(owner, &copyKey), nullptr);

    owner.reset();
    EXPECT_TRUE(strongValue.expired()); // associations die with their object
    objc_setAssociatedObject(nullptr, &strongKey, NSObject::new_(), OBJC_ASSOCIATION_RETAIN);
    EXPECT_EQ(objc_getAssociatedObject(nullptr, &strongKey), nullptr);
}

TEST(ObjectModel, WeakReferencesBecomeNil)
{
    Weak<NSString> weak;
    {
        auto strong = NSString::fromUTF8("temporary");
        weak = strong;
        EXPECT_EQ(dv::str(weak.lock()), "temporary");
    }
    EXPECT_EQ(weak.lock(), nullptr);
}
