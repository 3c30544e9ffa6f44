#include "input_scheduler.h"

#include <algorithm>
#include <system_error>
#include <utility>

InputScheduler::InputScheduler(unsigned threads, size_t ahead)
    : ahead_(std::max<size_t>({ahead, threads, 1})) {
    try {
        for (unsigned w = 0; w + 1 < threads; ++w)
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
        if (compute) compute(Place{0, nullptr});
        deliver();
        for (Deliver& later : std::exchange(deliverLater_, {})) later();
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    HandOver(lock);
    while (tasks_.size() >= ahead_) {
        if (Untaken()) {
            RunNext(lock, Threads() - 1);
            continue;
        }
        // Every task is taken: this thread is woken once half the room is free, or when a
        // task given next waits for a thread, rather than for every task.
        callerWaiting_ = true;
        done_.wait(lock, [this] { return tasks_.size() <= ahead_ / 2 || Untaken(); });
        callerWaiting_ = false;
    }
    const bool nothing = !compute;
    tasks_.push_back(
        std::make_unique<Task>(Task{std::move(compute), std::move(deliver), nothing, nothing}));
    if (nothing) {
        HandOver(lock);
    } else {
        given_.notify_one();
    }
}

void InputScheduler::GiveNext(const Place& place, Compute compute, Deliver deliver) {
    if (threads_.empty()) {
        // Nothing runs beside this thread: the task runs now, and is handed over after the
        // one that gave it.
        const size_t slot = deliverLater_.size();
        deliverLater_.emplace_back();
        compute(place);
        deliverLater_[slot] = std::move(deliver);
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    size_t at = 0;
    while (tasks_[at].get() != place.task) ++at;
    ++at;
    tasks_.insert(tasks_.begin() + std::ptrdiff_t(at),
                  std::make_unique<Task>(Task{std::move(compute), std::move(deliver)}));
    next_ = std::min(next_, at);
    // The caller, when it waits, takes tasks too.
    given_.notify_one();
    if (callerWaiting_) done_.notify_one();
}

void InputScheduler::Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    HandOver(lock);
    while (!tasks_.empty() || handing_) {
        if (Untaken()) {
            RunNext(lock, Threads() - 1);
            continue;
        }
        callerWaiting_ = true;
        done_.wait(lock, [this] { return (tasks_.empty() && !handing_) || Untaken(); });
        callerWaiting_ = false;
    }
}

void InputScheduler::HandOver(std::unique_lock<std::mutex>& lock) {
    // One thread at a time hands over, so that the delivers run one after another.
    if (handing_) return;
    handing_ = true;
    while (!tasks_.empty() && tasks_.front()->done) {
        Deliver deliver = std::move(tasks_.front()->deliver);
        tasks_.pop_front();
        if (next_ != 0) --next_;
        lock.unlock();
        deliver();
        lock.lock();
    }
    handing_ = false;
    if (callerWaiting_ && tasks_.size() <= ahead_ / 2) done_.notify_one();
}

bool InputScheduler::Untaken() {
    while (next_ < tasks_.size() && tasks_[next_]->taken) ++next_;
    return next_ < tasks_.size();
}

void InputScheduler::RunNext(std::unique_lock<std::mutex>& lock, unsigned place) {
    // A task stays where it is until it is handed over, and its compute is not touched by
    // another thread meanwhile.
    Task& task = *tasks_[next_];
    task.taken = true;
    ++next_;
    lock.unlock();
    task.compute(Place{place, &task});
    lock.lock();
    task.done = true;
    HandOver(lock);
}

void InputScheduler::Work(unsigned worker) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (Untaken()) {
            RunNext(lock, worker);
        } else if (ending_) {
            return;
        } else {
            given_.wait(lock);
        }
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
