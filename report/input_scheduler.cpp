#include "input_scheduler.h"

#include <algorithm>
#include <system_error>

InputScheduler::InputScheduler(unsigned workers, size_t ahead)
    : ahead_(std::max<size_t>({ahead, workers, 1})) {
    if (workers < 2) return;
    try {
        for (unsigned w = 0; w < workers; ++w)
            threads_.emplace_back(&InputScheduler::Work, this, w);
    } catch (const std::system_error&) {
        // No room for another thread: the ones started take every task.
    }
}

InputScheduler::~InputScheduler() {
    Finish();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    given_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void InputScheduler::Give(Compute compute, Deliver deliver) {
    if (threads_.empty()) {
        if (compute) compute(Place{0});
        deliver();
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    HandOver(lock);
    if (tasks_.size() >= ahead_) {
        // The workers hand results over as they finish them; this thread is woken once half
        // the room is free, rather than for every task.
        callerWaiting_ = true;
        done_.wait(lock, [this] { return tasks_.size() <= ahead_ / 2; });
        callerWaiting_ = false;
    }
    const bool nothing = !compute;
    tasks_.push_back(Task{std::move(compute), std::move(deliver), nothing});
    if (nothing) {
        HandOver(lock);
    } else {
        given_.notify_one();
    }
}

void InputScheduler::Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    HandOver(lock);
    callerWaiting_ = true;
    done_.wait(lock, [this] { return tasks_.empty() && !handing_; });
    callerWaiting_ = false;
}

void InputScheduler::HandOver(std::unique_lock<std::mutex>& lock) {
    // One thread at a time hands over, so that the delivers run one after another.
    if (handing_) return;
    handing_ = true;
    while (!tasks_.empty() && tasks_.front().done) {
        Deliver deliver = std::move(tasks_.front().deliver);
        tasks_.pop_front();
        ++first_;
        // A task with nothing to compute may be handed over before a worker passed it.
        next_ = std::max(next_, first_);
        lock.unlock();
        deliver();
        lock.lock();
    }
    handing_ = false;
    if (callerWaiting_ && tasks_.size() <= ahead_ / 2) done_.notify_one();
}

void InputScheduler::Work(unsigned worker) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        // Tasks with nothing to compute are passed over.
        while (next_ - first_ < tasks_.size() && tasks_[size_t(next_ - first_)].done) ++next_;
        if (next_ - first_ >= tasks_.size()) {
            if (ending_) return;
            given_.wait(lock);
            continue;
        }
        // A task stays in the queue until it is handed over, and a deque keeps its elements
        // in place as others are added: the reference holds while the task runs.
        Task& task = tasks_[size_t(next_ - first_)];
        const Place place{worker};
        ++next_;
        lock.unlock();
        task.compute(place);
        lock.lock();
        task.done = true;
        HandOver(lock);
    }
}

void ReadTurns::Wait(uint64_t index) {
    if (!sequential_) return;
    std::unique_lock<std::mutex> lock(mutex_);
    passed_.wait(lock, [&] { return turn_ >= index; });
}

void ReadTurns::Pass(uint64_t index) {
    if (!sequential_) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (index != turn_) {
            early_.push_back(index);
            return;
        }
        ++turn_;
        for (auto at = std::find(early_.begin(), early_.end(), turn_); at != early_.end();
             at = std::find(early_.begin(), early_.end(), turn_)) {
            early_.erase(at);
            ++turn_;
        }
    }
    passed_.notify_all();
}
