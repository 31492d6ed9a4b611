#pragma once
// The wait for the product's server process ("/WaitForServerExit"): a timer thread ticks once a
// period, adds 1000 ms to the elapsed time and asks whether the watched process still runs; the
// user thread waits until the process has gone or the elapsed time passes the time-out.
//
// The values shared with the timer thread are atomics. The timer keeps ticking after a wait that
// ended by time-out, until the process has gone or the object is destroyed.
#include "platform/ProcessList.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace quillon {

inline constexpr const char* kServerProcessName = "KldoSvr.exe";

class ServerWait {
public:
    // `period` is one second in the product; tests shorten it. Each tick still counts 1000 ms.
    ServerWait(ProcessList& processes, std::string watchedName,
               std::chrono::milliseconds period = std::chrono::milliseconds(1000));
    ~ServerWait();
    ServerWait(const ServerWait&) = delete;
    ServerWait& operator=(const ServerWait&) = delete;

    // Starts the timer and waits. Answers true when the process has gone, false on time-out.
    // When the timer cannot be started the time-out counts as reached at once.
    bool Wait(std::uint32_t timeoutMs);

    std::uint32_t ElapsedMs() const { return state_->elapsed.load(); }
    // Ticks counted when the wait ended (the timer may tick on afterwards).
    int TicksWhenDone() const { return state_->ticksWhenDone.load(); }

private:
    struct State {
        std::atomic<std::uint32_t> elapsed{0};
        std::atomic<bool> serverGone{false};
        std::atomic<bool> timerSet{false};
        std::atomic<bool> stop{false};
        std::atomic<int> ticks{0};
        std::atomic<std::uint32_t> timeoutMs{0};
        std::atomic<int> ticksWhenDone{0}; // the tick that ended the wait
        std::mutex mutex;
        std::condition_variable changed;
    };
    void Tick();

    ProcessList& processes_;
    const std::string watchedName_;
    const std::chrono::milliseconds period_;
    std::shared_ptr<State> state_;
    std::thread timer_;
};

} // namespace quillon
