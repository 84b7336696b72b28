// A mutex whose use clang checks at compile time (-Wthread-safety): fields
// marked GUARDED_BY(m) may be touched only while m is held, and functions
// marked REQUIRES(m) only called so. Under other compilers the marks are empty
// and Mutex is a plain std::mutex.
// Any thread; the mutex guards what its users mark.
#pragma once

#include <mutex>

#if defined(__clang__)
#define ORVALINK_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define ORVALINK_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) ORVALINK_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY ORVALINK_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) ORVALINK_THREAD_ANNOTATION(guarded_by(x))
#define REQUIRES(...) ORVALINK_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) ORVALINK_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) ORVALINK_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define NO_THREAD_SAFETY_ANALYSIS ORVALINK_THREAD_ANNOTATION(no_thread_safety_analysis)

class CAPABILITY("mutex") Mutex {
public:
    void lock() ACQUIRE() { mutex_.lock(); }
    void unlock() RELEASE() { mutex_.unlock(); }

private:
    std::mutex mutex_;
};

// Holds a Mutex for the rest of the scope.
class SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    ~MutexLock() RELEASE() { mutex_.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& mutex_;
};
