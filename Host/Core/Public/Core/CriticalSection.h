#pragma once

#include <mutex>

/** Recursive lock, as the host's critical sections are. */
class FCriticalSection
{
public:
    FCriticalSection() = default;
    FCriticalSection(const FCriticalSection&) = delete;
    FCriticalSection& operator=(const FCriticalSection&) = delete;

    void Lock() { Mutex.lock(); }
    bool TryLock() { return Mutex.try_lock(); }
    void Unlock() { Mutex.unlock(); }

private:
    std::recursive_mutex Mutex;
};

class FScopeLock
{
public:
    explicit FScopeLock(FCriticalSection* InSection) : Section(InSection) { Section->Lock(); }
    ~FScopeLock() { Section->Unlock(); }
    FScopeLock(const FScopeLock&) = delete;
    FScopeLock& operator=(const FScopeLock&) = delete;

private:
    FCriticalSection* Section;
};
