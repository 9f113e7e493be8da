// Clang's thread-safety annotations under short names. A type that is a lock says so
// (DV_CAPABILITY), a field says which lock guards it (DV_GUARDED_BY), a function which lock it
// needs held or takes (DV_REQUIRES, DV_ACQUIRE, DV_RELEASE, and the _SHARED forms of a lock that
// readers share); the clang build then proves at compile time that every guarded field is touched
// only with its lock held (-Wthread-safety is an error there). Other compilers read the
// annotations as nothing.
//
//   Mutex m_lock;
//   std::vector<Entry> m_entries DV_GUARDED_BY(m_lock);
//   void pruneLocked() DV_REQUIRES(m_lock);
#pragma once

#if defined(__clang__)
#define DV_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define DV_THREAD_ANNOTATION(x)
#endif

#define DV_CAPABILITY(name) DV_THREAD_ANNOTATION(capability(name))
#define DV_SCOPED_CAPABILITY DV_THREAD_ANNOTATION(scoped_lockable)
#define DV_GUARDED_BY(lock) DV_THREAD_ANNOTATION(guarded_by(lock))
#define DV_PT_GUARDED_BY(lock) DV_THREAD_ANNOTATION(pt_guarded_by(lock))
#define DV_REQUIRES(...) DV_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define DV_ACQUIRE(...) DV_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define DV_RELEASE(...) DV_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define DV_ACQUIRE_SHARED(...) DV_THREAD_ANNOTATION(acquire_shared_capability(__VA_ARGS__))
#define DV_RELEASE_SHARED(...) DV_THREAD_ANNOTATION(release_shared_capability(__VA_ARGS__))
#define DV_TRY_ACQUIRE(...) DV_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define DV_EXCLUDES(...) DV_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define DV_ASSERT_CAPABILITY(lock) DV_THREAD_ANNOTATION(assert_capability(lock))
#define DV_RETURN_CAPABILITY(lock) DV_THREAD_ANNOTATION(lock_returned(lock))
// For the few functions whose locking the analysis cannot follow; say why beside it.
#define DV_NO_THREAD_SAFETY_ANALYSIS DV_THREAD_ANNOTATION(no_thread_safety_analysis)
