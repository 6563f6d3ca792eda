#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace tolmar {

// How far a piece of long file work has come, and whether the user asked to
// cancel it. Written by the worker, read by the progress bar: any thread.
class WorkProgress {
public:
    void setTotal(std::uint64_t total) { m_total.store(total, std::memory_order_relaxed); }
    void setDone(std::uint64_t done) { m_done.store(done, std::memory_order_relaxed); }
    std::uint64_t total() const { return m_total.load(std::memory_order_relaxed); }
    std::uint64_t done() const { return m_done.load(std::memory_order_relaxed); }
    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

private:
    std::atomic<std::uint64_t> m_total{0};
    std::atomic<std::uint64_t> m_done{0};
    std::atomic<bool> m_cancelled{false};
};

// Runs long file work beside the user interface: `work` on a worker thread,
// then `finished` on the UI thread, where the result takes effect in one step.
// While the work lasts longer than about half a second a progress bar with
// `title` and Cancel shows `progress`. Work that cannot start or is dropped
// (the program ends first) never calls `finished`.
class BackgroundWork {
public:
    virtual ~BackgroundWork() = default;
    virtual void start(const std::string &title, std::shared_ptr<WorkProgress> progress,
                       std::function<void()> work, std::function<void()> finished) = 0;
};

// Runs both at once on the caller's thread: tolmar-cli and tests.
class InlineBackgroundWork final : public BackgroundWork {
public:
    void start(const std::string &, std::shared_ptr<WorkProgress>, std::function<void()> work,
               std::function<void()> finished) override
    {
        work();
        finished();
    }
};

// Keeps each piece of work until the test runs it, so a test can record,
// clear or cancel while a save or load is "running".
class DeferredBackgroundWork final : public BackgroundWork {
public:
    struct Job {
        std::string title;
        std::shared_ptr<WorkProgress> progress;
        std::function<void()> work;
        std::function<void()> finished;
    };
    void start(const std::string &title, std::shared_ptr<WorkProgress> progress, std::function<void()> work,
               std::function<void()> finished) override
    {
        jobs.push_back({title, std::move(progress), std::move(work), std::move(finished)});
    }
    // Runs the oldest job's work and then its finishing step.
    void runOne()
    {
        Job job = std::move(jobs.front());
        jobs.pop_front();
        job.work();
        job.finished();
    }
    std::deque<Job> jobs;
};

} // namespace tolmar
