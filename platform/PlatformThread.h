// The machine thread's platform class: a worker thread created suspended,
// parked and resumed from the main thread, with a priority and a synchronous
// hand-over of a method to the main thread.
//
// The thread is never suspended asynchronously. Suspend() raises a park
// request and waits until the body has reached a safe point: the body polls
// ParkPoint() between units of work, and a body waiting in Synchronize()
// counts as parked as long as the main thread has not yet started the
// handed-over method (the request is then withdrawn and posted again after
// Resume, so the method never runs while the thread is suspended). That is
// why a Suspend() from the main thread cannot deadlock against a hand-over
// that is queued behind it on the same main thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>

// Runs posted calls on the main (window) thread, later, in posting order.
// The desktop implements it on its event loop; tests serve it themselves.
// A post that is served after its thread was withdrawn does nothing, but the
// thread object must still exist: drop queued posts before destroying it.
class TMainThreadDispatcher {
public:
    virtual ~TMainThreadDispatcher() = default;
    virtual void Post(void (*call)(void* context), void* context) = 0;
};

// The seven scheduling levels of the original platform; Linux maps them to
// nice values (raising a priority usually needs privileges and then fails
// silently: priorities are a hint).
enum class TThreadPriority : uint8_t {
    Idle, Lowest, BelowNormal, Normal, AboveNormal, Highest, TimeCritical
};

class TPlatformThread {
public:
    explicit TPlatformThread(TMainThreadDispatcher& dispatcher);
    virtual ~TPlatformThread();
    TPlatformThread(const TPlatformThread&) = delete;
    TPlatformThread& operator=(const TPlatformThread&) = delete;

    // Main thread. Suspend returns once the body is parked (at once if the
    // thread counts itself suspended already, e.g. before its first start).
    // Called from inside a handed-over method, it cannot wait for the body
    // (which waits for that very method); it returns at once and the body
    // parks as soon as the method has returned, before touching anything.
    void Suspend();
    // The first Resume starts Execute; later ones let the body continue.
    void Resume();
    bool Suspended() const;
    // True once the first Resume has started the body's thread.
    bool Started() const;
    // True once the body has reached the park point after a Suspend.
    bool Parked() const;
    // Waits until the body is parked (or has ended): after a Suspend issued
    // from inside a hand-over, this is how the main thread sees it settle.
    void AwaitParked() const;
    void SetPriority(TThreadPriority priority);
    // The kernel's id of the running thread, 0 before the first start.
    int NativeId() const { return tid_.load(); }
    TThreadPriority Priority() const;
    // Asks the body to end, wakes it wherever it waits and joins it.
    // A derived class calls this first thing in its destructor.
    void TerminateAndWait();

protected:
    virtual void Execute() = 0;

    // Body. Cheap when no park is requested: one atomic load.
    void ParkPoint() {
        if (parkRequest_.load(std::memory_order_acquire)) Park();
    }
    bool Terminated() const { return terminate_.load(std::memory_order_acquire); }
    // Body: runs method(context) on the main thread and waits until it has
    // run. An exception it raised is rethrown here. Returns false only when
    // the thread is being terminated (the method may then not have run).
    bool Synchronize(void (*method)(void* context), void* context);
    // Body: parks the thread by its own decision, as if Suspend had been
    // called; it continues after the next Resume.
    void SuspendSelf();

private:
    enum class THandOver : uint8_t { Idle, Pending, Running, Done };

    static void ThreadMain(TPlatformThread* self);
    static void ServeHandOver(void* self);
    void Park();
    void ParkLocked(std::unique_lock<std::mutex>& lock);
    void ApplyPriority();

    TMainThreadDispatcher& dispatcher_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::thread thread_;
    std::atomic<bool> parkRequest_{false};
    std::atomic<bool> terminate_{false};
    bool suspended_ = true;
    bool started_ = false;
    bool parked_ = false;
    bool finished_ = false;
    std::atomic<int> tid_{0};
    std::atomic<TThreadPriority> priority_{TThreadPriority::Normal};

    THandOver handOver_ = THandOver::Idle;
    void (*handOverMethod_)(void*) = nullptr;
    void* handOverContext_ = nullptr;
    std::exception_ptr handOverError_;
    std::thread::id handOverRunner_;
};
