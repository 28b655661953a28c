// A main-thread dispatcher for tests: posts queue up until the test thread,
// playing the main thread, serves them, so a test decides exactly when a
// hand-over runs and can await a post without sleeping.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include "PlatformThread.h"

class TManualDispatcher final : public TMainThreadDispatcher {
public:
    void Post(void (*call)(void*), void* context) override {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        queue_.emplace_back(call, context);
        ++posted_;
        changed_.notify_all();
    }
    // Waits until at least `count` posts have arrived in all (false on timeout,
    // which only a broken machine reaches).
    bool AwaitPosted(unsigned count, std::chrono::seconds limit = std::chrono::seconds(20)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return posted_ >= count; });
    }
    // Runs the oldest queued call on this thread; false when none is queued.
    bool ServeOne() {
        std::pair<void (*)(void*), void*> item;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return false;
            item = queue_.front();
            queue_.pop_front();
        }
        item.first(item.second);
        return true;
    }
    void ServeAll() {
        while (ServeOne()) {
        }
    }
    // Stops taking posts and drops the queue (before the thread object goes).
    void Close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        queue_.clear();
    }
    unsigned Posted() {
        std::lock_guard lock(mutex_);
        return posted_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<void (*)(void*), void*>> queue_;
    unsigned posted_ = 0;
    bool closed_ = false;
};
