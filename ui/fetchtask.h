#ifndef FEEDQUILL_UI_FETCHTASK_H
#define FEEDQUILL_UI_FETCHTASK_H

#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>

class wxEvtHandler;

// Runs one network fetch on a worker thread so that the window keeps answering. Its progress
// and its end come back to the window's thread as calls queued on the owner; one at a time.
class FetchTask
{
public:
    // Runs on the worker: passes progress on to the transfer, whose answer says whether to go on.
    using Progress = std::function<bool(std::size_t bodyBytes)>;
    using Work = std::function<void(const Progress& progress)>;

    explicit FetchTask(wxEvtHandler* owner);
    // Stops a fetch still running and waits for its thread.
    ~FetchTask();
    FetchTask(const FetchTask&) = delete;
    FetchTask& operator=(const FetchTask&) = delete;

    // Starts work; onProgress gets the body bytes received whenever they change (0 while
    // connecting) and done runs once the work has ended, unless it was abandoned. Both run on
    // the window's thread. False when a fetch is running already.
    bool Start(Work work, std::function<void(std::size_t)> onProgress,
               std::function<void()> done);
    // Asks the transfer to stop; done still runs, and IsCancelled then says so.
    void Cancel();
    // Stops the fetch and waits for its thread; done never runs.
    void Abandon();

    bool IsRunning() const { return m_thread.joinable(); }
    bool IsCancelled() const { return m_cancel; }

private:
    bool Report(std::size_t bytes, unsigned generation);

    wxEvtHandler* m_owner;
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    std::atomic<std::size_t> m_reported{0};
    std::function<void(std::size_t)> m_onProgress;
    std::function<void()> m_done;
    unsigned m_generation = 0;
};

#endif
