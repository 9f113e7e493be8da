// The platform's synchronisation on an object: a recursive lock that belongs to the object's
// identity, taken for a scope. Locks exist only while someone holds or waits for them.
//
//   dv::Synchronized guard(self.get());   // @synchronized (self) { ... }
#pragma once

namespace dv {

class Synchronized {
public:
    explicit Synchronized(const void* object);
    ~Synchronized();
    Synchronized(const Synchronized&) = delete;
    Synchronized& operator=(const Synchronized&) = delete;

private:
    const void* m_object;
    void* m_entry;
};

} // namespace dv
