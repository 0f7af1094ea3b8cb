// The worker thread of a recovery run: exactly one per run, ending by itself when the run has
// returned. Whoever started it joins it before the engine it uses is destroyed.
#pragma once

#include "dbx/DbxRecovery.h"

#include <atomic>
#include <string>
#include <thread>

namespace mendora {

class CRecoveryWorker {
public:
    CRecoveryWorker() = default;
    ~CRecoveryWorker() { Join(); }
    CRecoveryWorker(const CRecoveryWorker&) = delete;
    CRecoveryWorker& operator=(const CRecoveryWorker&) = delete;

    // Starts the run on a new thread: tells the observer it starts, clears the stop flag, runs,
    // and tells the observer it has finished. False when a run is still going on.
    bool Start(CDbxRecovery& engine, std::string sourcePath, IRecoveryObserver& observer,
               IRecoveredMessageSink& sink)
    {
        if (m_thread.joinable()) {
            if (m_running.load())
                return false;
            m_thread.join();
        }
        m_running.store(true);
        m_thread = std::thread([this, &engine, path = std::move(sourcePath), &observer, &sink] {
            observer.OnRunStarting();
            engine.ClearAbort();
            engine.Run(path, observer, sink);
            observer.OnRunFinished();
            m_running.store(false);
        });
        return true;
    }

    bool Running() const { return m_running.load(); }

    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::thread m_thread;
    std::atomic<bool> m_running{false};
};

} // namespace mendora
