// The machine thread's platform class on std::thread (see PlatformThread.h).
#include "PlatformThread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

int NiceValueOf(TThreadPriority priority) {
    switch (priority) {
        case TThreadPriority::Idle: return 19;
        case TThreadPriority::Lowest: return 10;
        case TThreadPriority::BelowNormal: return 5;
        case TThreadPriority::Normal: return 0;
        case TThreadPriority::AboveNormal: return -5;
        case TThreadPriority::Highest: return -10;
        case TThreadPriority::TimeCritical: return -20;
    }
    return 0;
}

}  // namespace

TPlatformThread::TPlatformThread(TMainThreadDispatcher& dispatcher) : dispatcher_(dispatcher) {}

TPlatformThread::~TPlatformThread() { TerminateAndWait(); }

void TPlatformThread::TerminateAndWait() {
    {
        std::lock_guard lock(mutex_);
        terminate_.store(true, std::memory_order_release);
        // A hand-over still queued must not run once the body is gone.
        if (handOver_ == THandOver::Pending) handOver_ = THandOver::Idle;
        changed_.notify_all();
    }
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TPlatformThread::Suspend() {
    std::unique_lock lock(mutex_);
    if (suspended_) return;
    suspended_ = true;
    parkRequest_.store(true, std::memory_order_release);
    changed_.notify_all();
    if (handOver_ == THandOver::Running && handOverRunner_ == std::this_thread::get_id()) return;
    changed_.wait(lock, [this] { return parked_ || finished_; });
}

void TPlatformThread::Resume() {
    std::lock_guard lock(mutex_);
    if (!suspended_ || terminate_.load()) return;
    suspended_ = false;
    parkRequest_.store(false, std::memory_order_release);
    if (!started_) {
        started_ = true;
        thread_ = std::thread(ThreadMain, this);
    } else {
        changed_.notify_all();
    }
}

bool TPlatformThread::Suspended() const {
    std::lock_guard lock(mutex_);
    return suspended_;
}

bool TPlatformThread::Started() const {
    std::lock_guard lock(mutex_);
    return started_;
}

bool TPlatformThread::Parked() const {
    std::lock_guard lock(mutex_);
    return parked_;
}

void TPlatformThread::AwaitParked() const {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return parked_ || finished_ || !started_; });
}

void TPlatformThread::SetPriority(TThreadPriority priority) {
    priority_.store(priority);
    if (tid_.load() != 0) ApplyPriority();
}

TThreadPriority TPlatformThread::Priority() const { return priority_.load(); }

void TPlatformThread::ApplyPriority() {
    // Best effort: on Linux a nice value applies to a single thread by its id.
    const int tid = tid_.load();
    if (tid != 0) (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceValueOf(priority_.load()));
}

void TPlatformThread::ThreadMain(TPlatformThread* self) {
    self->tid_.store(static_cast<int>(syscall(SYS_gettid)));
    self->ApplyPriority();
    try {
        if (!self->Terminated()) self->Execute();
    } catch (...) {
        // The body's own errors are its business; nothing escapes a thread.
    }
    std::lock_guard lock(self->mutex_);
    self->finished_ = true;
    self->changed_.notify_all();
}

void TPlatformThread::Park() {
    std::unique_lock lock(mutex_);
    ParkLocked(lock);
}

void TPlatformThread::ParkLocked(std::unique_lock<std::mutex>& lock) {
    while (parkRequest_.load(std::memory_order_acquire) && !terminate_.load()) {
        parked_ = true;
        changed_.notify_all();
        changed_.wait(lock);
    }
    parked_ = false;
}

void TPlatformThread::SuspendSelf() {
    std::unique_lock lock(mutex_);
    suspended_ = true;
    parkRequest_.store(true, std::memory_order_release);
    ParkLocked(lock);
}

bool TPlatformThread::Synchronize(void (*method)(void*), void* context) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (terminate_.load()) return false;
        ParkLocked(lock);
        if (terminate_.load()) return false;
        handOverMethod_ = method;
        handOverContext_ = context;
        handOverError_ = nullptr;
        handOver_ = THandOver::Pending;
        lock.unlock();
        dispatcher_.Post(ServeHandOver, this);
        lock.lock();
        changed_.wait(lock, [this] {
            return handOver_ == THandOver::Done || terminate_.load() ||
                   (handOver_ == THandOver::Pending && parkRequest_.load());
        });
        if (handOver_ == THandOver::Done) break;
        if (handOver_ == THandOver::Pending) handOver_ = THandOver::Idle;  // withdrawn: post again after Resume
        if (terminate_.load()) {
            // A method already running on the main thread still holds the context.
            changed_.wait(lock, [this] { return handOver_ != THandOver::Running; });
            handOver_ = THandOver::Idle;
            return false;
        }
    }
    handOver_ = THandOver::Idle;
    std::exception_ptr error = handOverError_;
    handOverError_ = nullptr;
    // A Suspend issued from inside the method: park before going on.
    ParkLocked(lock);
    if (error) std::rethrow_exception(error);
    return true;
}

void TPlatformThread::ServeHandOver(void* context) {
    auto* self = static_cast<TPlatformThread*>(context);
    std::unique_lock lock(self->mutex_);
    // Stale posts (withdrawn, already served, or terminated) find no request.
    if (self->handOver_ != THandOver::Pending) return;
    self->handOver_ = THandOver::Running;
    self->handOverRunner_ = std::this_thread::get_id();
    lock.unlock();
    std::exception_ptr error;
    try {
        self->handOverMethod_(self->handOverContext_);
    } catch (...) {
        error = std::current_exception();
    }
    lock.lock();
    self->handOverError_ = error;
    self->handOverRunner_ = std::thread::id();
    self->handOver_ = THandOver::Done;
    self->changed_.notify_all();
}
