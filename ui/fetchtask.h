#ifndef FEEDQUILL_UI_FETCHTASK_H
#define FEEDQUILL_UI_FETCHTASK_H

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <thread>

class wxEvtHandler;

// What a fetch's worker tells the window and asks it: the body bytes received so far, and
// whether to go on. Thread-safe; the transfer calls it on the worker.
class FetchProgress
{
public:
    virtual ~FetchProgress() = default;
    // Passes the bytes on to the window; false once the fetch is to stop.
    virtual bool Report(std::size_t bodyBytes) = 0;
    // Whether the fetch is to stop, without figures: for a step whose bytes are not shown.
    virtual bool GoOn() const = 0;
};

// One fetch from the network: Run is its only step on the worker thread and reads into the
// job's own objects; the window's thread takes the results once the job has ended.
class FetchJob
{
public:
    virtual ~FetchJob() = default;
    virtual void Run(FetchProgress& progress) = 0;
};

// Runs one FetchJob on a worker thread so that the window keeps answering. Its progress and its
// end come back to the window's thread as calls queued on the owner; one job at a time.
class FetchTask : private FetchProgress
{
public:
    // Runs on the window's thread when the job has ended: the job, now the caller's, and
    // whether it was stopped.
    using Done = std::function<void(std::unique_ptr<FetchJob> job, bool cancelled)>;

    explicit FetchTask(wxEvtHandler* owner);
    // Stops a job still running and waits for its thread.
    ~FetchTask() override;
    FetchTask(const FetchTask&) = delete;
    FetchTask& operator=(const FetchTask&) = delete;

    // Starts the job, which the task owns until done has run; onProgress gets the body bytes
    // received whenever they change (0 while connecting), and done runs once, unless the job is
    // abandoned. Each job starts clean: not cancelled, no bytes. False when one is running.
    bool Start(std::unique_ptr<FetchJob> job, std::function<void(std::size_t)> onProgress,
               Done done);
    // Asks the job to stop; done still runs, with cancelled true.
    void Cancel();
    // Stops the job and waits for its thread; done never runs.
    void Abandon();

    bool IsRunning() const { return m_thread.joinable(); }
    bool IsCancelled() const { return IsRunning() && m_cancel; }

private:
    bool Report(std::size_t bytes) override;
    bool GoOn() const override { return !m_cancel; }
    void Finish(unsigned generation);

    wxEvtHandler* m_owner;
    std::thread m_thread;
    std::unique_ptr<FetchJob> m_job;
    std::atomic<bool> m_cancel{false};
    std::atomic<std::size_t> m_reported{0};
    std::atomic<unsigned> m_generation{0};
    std::function<void(std::size_t)> m_onProgress;
    Done m_done;
};

#endif
