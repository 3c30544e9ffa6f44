// Computing several inputs at once while their results come out in order.
//
// InputScheduler runs tasks on a few threads, which it starts once and reuses for every
// task, and hands each task's result over in the order the tasks were given, as soon as
// every task before it is handed over: output streams, and it is the same whatever the
// number of threads.  The thread that finishes the oldest task hands it over, with those
// after it that are done, one thread at a time, so that no thread is woken for each task.
// At most a fixed number of tasks are given and not yet handed over, so the results
// waiting for their turn stay few.  The thread that gives the tasks is one of those that
// run them: when there is no room for another task, it runs the next one itself instead of
// sleeping until a worker makes room, so that N threads keep N cores busy and none is
// woken for the sake of handing out tasks (which, over many small files, costs more than
// the files).
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
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class InputScheduler {
public:
    struct Task;
    // What a task runs on: the thread (from 0 to Threads() - 1; the last is the thread that
    // gives the tasks).
    struct Place {
        unsigned worker;
        Task* task;  // the task it runs, for GiveNext
    };
    using Compute = std::function<void(const Place&)>;
    using Deliver = std::function<void()>;

    // threads to run the tasks, the calling thread among them (0 or 1: every task runs on
    // the calling thread as it is given); at most ahead tasks (at least threads, and at
    // least 1) given and not yet handed over.  A thread that cannot be started leaves its
    // tasks to the others.
    InputScheduler(unsigned threads, size_t ahead);
    // Hands over what is left (see Finish).
    ~InputScheduler();
    InputScheduler(const InputScheduler&) = delete;
    InputScheduler& operator=(const InputScheduler&) = delete;

    // Gives a task: compute runs on one of the threads, then deliver, after the deliver of every task
    // given before, on whichever thread hands it over (this one, or a worker): delivers run
    // one at a time, never two at once.  A task without compute only delivers.  While the
    // tasks given and not handed over are too many, runs those no worker has taken, or
    // waits.
    void Give(Compute compute, Deliver deliver);
    // Gives, from within the compute of the task running at place, a task that comes right
    // after it: before every task given after it, and the next that a thread takes.  A task
    // that turns out long gives the rest of its work so, for another thread to share.  With
    // no worker, compute runs at once, and deliver after the deliver of the task at place.
    void GiveNext(const Place& place, Compute compute, Deliver deliver);
    // Runs tasks no worker has taken, and waits, until every task given is handed over.
    void Finish();
    // The number of threads that run the tasks, the calling thread among them.
    unsigned Threads() const { return unsigned(threads_.size()) + 1; }

    // A task given and not yet handed over.
    struct Task {
        Compute compute;
        Deliver deliver;
        bool taken = false;  // a thread runs it, or it has nothing to compute
        bool done = false;
    };

private:
    void Work(unsigned worker);
    // Whether a task given is not yet taken by a thread (the one at next_); passes over
    // those taken.  With lock held.
    bool Untaken();
    // Runs the next task not yet taken on the thread at place, and hands over what is done,
    // with lock held (released meanwhile).
    void RunNext(std::unique_lock<std::mutex>& lock, unsigned place);
    // Runs the delivers of the tasks done at the head, unless another thread does, with lock
    // held (released meanwhile).
    void HandOver(std::unique_lock<std::mutex>& lock);

    const size_t ahead_;
    std::mutex mutex_;
    std::condition_variable given_;  // to workers: a task to run, or the end
    std::condition_variable done_;   // to the caller: room for more tasks, or none left
    bool handing_ = false;           // a thread runs delivers
    bool callerWaiting_ = false;     // the caller waits on done_
    // Given and not handed over, in order; each in a place of its own, where the thread
    // that runs it finds it while tasks come and go around it.
    std::deque<std::unique_ptr<Task>> tasks_;
    size_t next_ = 0;  // where in tasks_ a task not taken may be: those before it are taken
    bool ending_ = false;
    std::vector<Deliver> deliverLater_;  // with no worker: those of tasks given by GiveNext
    std::vector<std::thread> threads_;   // the workers, beside the calling thread
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
