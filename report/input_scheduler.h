// Computing several inputs at once while their results come out in order.
//
// InputScheduler runs tasks on a few worker threads, which it starts once and reuses for
// every task, and hands each task's result over in the order the tasks were given, as soon
// as every task before it is handed over: output streams, and it is the same whatever the
// number of threads.  The worker that finishes the oldest task hands it over, with those
// after it that are done, one thread at a time, so that no thread is woken for each task.
// At most a fixed number of tasks are given and not yet handed over, so the results
// waiting for their turn stay few.
//
// ReadTurns orders the reads of inputs that share a device which loses by being read in
// several places at once (a spinning disk, a network share): an input waits for its turn
// before it reads from the device, and its turn comes once every input before it has
// passed its own.
#ifndef KORVADEX_REPORT_INPUT_SCHEDULER_H
#define KORVADEX_REPORT_INPUT_SCHEDULER_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class InputScheduler {
public:
    // What a task runs on: the worker (from 0 to workers - 1; 0 on the calling thread when
    // there is no worker).
    struct Place {
        unsigned worker;
    };
    using Compute = std::function<void(const Place&)>;
    using Deliver = std::function<void()>;

    // workers threads (0 or 1: none, every task runs on the calling thread as it is
    // given); at most ahead tasks (at least workers, and at least 1) given and not yet
    // handed over.  A thread that cannot be started leaves its tasks to the others.
    InputScheduler(unsigned workers, size_t ahead);
    // Hands over what is left (see Finish).
    ~InputScheduler();
    InputScheduler(const InputScheduler&) = delete;
    InputScheduler& operator=(const InputScheduler&) = delete;

    // Gives a task: compute runs on a worker, then deliver, after the deliver of every task
    // given before, on whichever thread hands it over (this one, or a worker): delivers run
    // one at a time, never two at once.  A task without compute only delivers.  Waits while
    // the tasks given and not handed over are too many.
    void Give(Compute compute, Deliver deliver);
    // Waits until every task given is handed over.
    void Finish();
    // The number of threads that run the tasks: the workers, or 1 for the calling thread.
    unsigned Threads() const { return threads_.empty() ? 1u : unsigned(threads_.size()); }

private:
    struct Task {
        Compute compute;
        Deliver deliver;
        bool done = false;
    };
    void Work(unsigned worker);
    // Runs the delivers of the tasks done at the head, unless another thread does, with lock
    // held (released meanwhile).
    void HandOver(std::unique_lock<std::mutex>& lock);

    const size_t ahead_;
    std::mutex mutex_;
    std::condition_variable given_;  // to workers: a task to run, or the end
    std::condition_variable done_;   // to the caller: room for more tasks, or none left
    bool handing_ = false;           // a thread runs delivers
    bool callerWaiting_ = false;     // the caller waits on done_
    std::deque<Task> tasks_;         // given and not handed over, in order
    uint64_t first_ = 0;             // the index of tasks_.front()
    uint64_t next_ = 0;              // the index of the next task a worker takes
    bool ending_ = false;
    std::vector<std::thread> threads_;
};

class ReadTurns {
public:
    // Turns are kept only when sequential; else Wait never waits.
    explicit ReadTurns(bool sequential) : sequential_(sequential) {}

    // Waits until every input before index has passed its turn.
    void Wait(uint64_t index);
    // The input at index reads no more from the device (or never did): the next may.
    // Every index must be passed once, or the inputs after it wait for ever.
    void Pass(uint64_t index);
    bool Sequential() const { return sequential_; }

private:
    const bool sequential_;
    std::mutex mutex_;
    std::condition_variable passed_;
    uint64_t turn_ = 0;            // the first index not yet passed
    std::vector<uint64_t> early_;  // indexes after turn_ passed already
};

#endif
