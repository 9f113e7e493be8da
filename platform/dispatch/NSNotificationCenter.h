// NSNotificationCenter: delivers a posted notification to every observer registered for its
// name (nil: any name) and its sender (nil: any sender), synchronously, in the order the
// observers were added. Observers and the senders they filter on are held weakly: an observer
// that has been destroyed is never called, and a filter on a sender that is gone matches
// nothing. Block observers run on their operation queue (nil: on the posting thread); the post
// waits until they have run. Any thread may add, remove and post; an observer removed on one
// thread is not called afterwards by a post that starts after the removal.
//
//   center->addObserver(self(), &Screen::keyboardWillShow, UIKeyboardWillShowNotification, nil);
//   auto token = center->addObserverForName(name, nil, NSOperationQueue::mainQueue(), block);
//   center->removeObserver(token.get());
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"
#include "platform/dispatch/NSNotification.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class NSOperationQueue;

class NSNotificationCenter : public NSObject {
    DV_CLASS(NSNotificationCenter, NSObject)

    NSNotificationCenter() = default;
    ~NSNotificationCenter() override;

    static Ref<NSNotificationCenter> defaultCenter();

    // Sends `selector` with the notification to `observer` (a method registered with the runtime).
    void addObserver(const id& observer, SEL selector, const Ref<NSString>& name, const id& object);
    // The same with a C++ member function of the observer's class.
    template <class T>
    void addObserver(const Ref<T>& observer, void (T::*method)(const Ref<NSNotification>&), const Ref<NSString>& name, const id& object)
    {
        addHandler(observer, [method](NSObject& receiver, const Ref<NSNotification>& n) { (static_cast<T&>(receiver).*method)(n); }, name, object);
    }
    // Answers the token that stands for the observation; pass it to removeObserver.
    id addObserverForName(const Ref<NSString>& name, const id& object, const Ref<NSOperationQueue>& queue,
                          std::function<void(const Ref<NSNotification>&)> block);

    void postNotification(const Ref<NSNotification>& notification);
    void postNotificationName(const Ref<NSString>& name, const id& object, const Ref<NSDictionary>& userInfo = nil);

    // Removes every registration of `observer` (or of a token), or those for the name and sender
    // given (nil: any).
    void removeObserver(const NSObject* observer);
    void removeObserver(const NSObject* observer, const Ref<NSString>& name, const NSObject* object);
    void removeObserver(const id& observer) { removeObserver(observer.get()); }
    void removeObserver(const id& observer, const Ref<NSString>& name, const id& object) { removeObserver(observer.get(), name, object.get()); }

    // Registrations alive (tests use it to see that removal worked).
    std::size_t observerCount() const;

private:
    using Handler = std::function<void(NSObject& receiver, const Ref<NSNotification>&)>;
    struct Registration;

    void addHandler(const id& observer, Handler handler, const Ref<NSString>& name, const id& object);
    void add(std::shared_ptr<Registration> registration);

    mutable dv::Mutex m_lock;
    std::vector<std::shared_ptr<Registration>> m_registrations DV_GUARDED_BY(m_lock);
};
