#include "platform/dispatch/NSNotificationCenter.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSBlockOperation.h"
#include "platform/dispatch/NSOperationQueue.h"

#include <algorithm>
#include <atomic>

DV_DEFINE_CLASS(NSNotificationCenter)

struct NSNotificationCenter::Registration {
    Registration(const id& observingObject, const Ref<NSString>& observedName, const id& object)
        : senderIdentity(object.get())
        , sender(object)
        , observerIdentity(observingObject.get())
        , observer(observingObject)
    {
        if (observedName)
            name = observedName->utf8();
    }

    std::optional<std::string> name;          // nullopt: any name
    const NSObject* senderIdentity = nullptr; // null: any sender
    Weak<NSObject> sender;
    const NSObject* observerIdentity = nullptr;
    Weak<NSObject> observer;
    SEL selector;
    Handler handler;
    // Block observers: the centre keeps the token and the block until the token is removed.
    id token;
    std::function<void(const Ref<NSNotification>&)> block;
    Ref<NSOperationQueue> queue;
    std::atomic<bool> removed { false };

    bool matches(const NSNotification& notification) const
    {
        if (name && (!notification.name() || notification.name()->utf8() != *name))
            return false;
        if (senderIdentity && (notification.object().get() != senderIdentity || sender.expired()))
            return false;
        return true;
    }
    bool observerGone() const { return !token && observer.expired(); }
};

NSNotificationCenter::~NSNotificationCenter() = default;

Ref<NSNotificationCenter> NSNotificationCenter::defaultCenter()
{
    static auto* center = new Ref<NSNotificationCenter>(dv::keepingForever([] { return alloc<NSNotificationCenter>(); }));
    return *center;
}

void NSNotificationCenter::add(std::shared_ptr<Registration> registration)
{
    dv::MutexLocker lock(m_lock);
    std::erase_if(m_registrations, [](auto& r) { return r->observerGone(); });
    m_registrations.push_back(std::move(registration));
}

void NSNotificationCenter::addObserver(const id& observer, SEL selector, const Ref<NSString>& name, const id& object)
{
    if (!observer || !selector)
        return;
    auto r = std::make_shared<Registration>(observer, name, object);
    r->selector = selector;
    add(std::move(r));
}

void NSNotificationCenter::addHandler(const id& observer, Handler handler, const Ref<NSString>& name, const id& object)
{
    if (!observer || !handler)
        return;
    auto r = std::make_shared<Registration>(observer, name, object);
    r->handler = std::move(handler);
    add(std::move(r));
}

id NSNotificationCenter::addObserverForName(const Ref<NSString>& name, const id& object, const Ref<NSOperationQueue>& queue,
                                            std::function<void(const Ref<NSNotification>&)> block)
{
    if (!block)
        return nil;
    // The token stands for the observer: the registration lasts until the token is removed.
    id token = alloc<NSObject>();
    auto r = std::make_shared<Registration>(token, name, object);
    r->token = token;
    r->block = std::move(block);
    r->queue = queue;
    add(std::move(r));
    return token;
}

void NSNotificationCenter::postNotificationName(const Ref<NSString>& name, const id& object, const Ref<NSDictionary>& userInfo)
{
    postNotification(NSNotification::notificationWithName(name, object, userInfo));
}

void NSNotificationCenter::postNotification(const Ref<NSNotification>& notification)
{
    if (!notification)
        return;
    std::vector<std::shared_ptr<Registration>> matching;
    {
        dv::MutexLocker lock(m_lock);
        for (auto& r : m_registrations)
            if (r->matches(*notification))
                matching.push_back(r);
    }
    for (auto& r : matching) {
        if (r->removed)
            continue;
        if (r->block) {
            auto current = NSOperationQueue::currentQueue();
            if (!r->queue || r->queue == current) {
                r->block(notification);
                continue;
            }
            // Delivered on the observer's queue; the post waits for it, as on the platform.
            auto block = r->block;
            auto operation = NSBlockOperation::blockOperationWithBlock([block, notification] { block(notification); });
            r->queue->addOperation(operation);
            operation->waitUntilFinished();
            continue;
        }
        auto observer = r->observer.lock();
        if (!observer)
            continue; // destroyed: never called
        if (r->handler) {
            r->handler(*observer, notification);
        } else {
            id args[] = {notification};
            observer->performSelector(r->selector, args);
        }
    }
}

void NSNotificationCenter::removeObserver(const NSObject* observer)
{
    if (!observer)
        return;
    dv::MutexLocker lock(m_lock);
    std::erase_if(m_registrations, [&](auto& r) {
        if (r->observerIdentity != observer)
            return false;
        r->removed = true;
        return true;
    });
}

void NSNotificationCenter::removeObserver(const NSObject* observer, const Ref<NSString>& name, const NSObject* object)
{
    if (!observer)
        return;
    dv::MutexLocker lock(m_lock);
    std::erase_if(m_registrations, [&](auto& r) {
        if (r->observerIdentity != observer)
            return false;
        if (name && (!r->name || *r->name != name->utf8()))
            return false;
        if (object && r->senderIdentity != object)
            return false;
        r->removed = true;
        return true;
    });
}

std::size_t NSNotificationCenter::observerCount() const
{
    dv::MutexLocker lock(m_lock);
    return std::count_if(m_registrations.begin(), m_registrations.end(), [](auto& r) { return !r->observerGone(); });
}
