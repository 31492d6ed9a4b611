#include "shell/ServerWait.h"

#include <system_error>

namespace quillon {

ServerWait::ServerWait(ProcessList& processes, std::string watchedName, std::chrono::milliseconds period)
    : processes_(processes), watchedName_(std::move(watchedName)), period_(period), state_(std::make_shared<State>()) {}

ServerWait::~ServerWait() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stop = true;
    }
    state_->changed.notify_all();
    if (timer_.joinable())
        timer_.join();
}

void ServerWait::Tick() {
    State& s = *state_;
    const bool running = processes_.IsProcessRunning(watchedName_);
    {
        std::lock_guard lock(s.mutex);
        s.elapsed += 1000;
        ++s.ticks;
        if (!running && s.timerSet.exchange(false))
            s.serverGone = true;
        if (s.ticksWhenDone == 0 && (s.serverGone || s.elapsed > s.timeoutMs))
            s.ticksWhenDone = s.ticks.load();
    }
    s.changed.notify_all();
}

bool ServerWait::Wait(std::uint32_t timeoutMs) {
    State& s = *state_;
    s.timeoutMs = timeoutMs;
    s.timerSet = true;
    try {
        timer_ = std::thread([this] {
            State& st = *state_;
            std::unique_lock lock(st.mutex);
            while (!st.stop && st.timerSet) {
                if (st.changed.wait_for(lock, period_, [&] { return st.stop.load(); }))
                    break;
                lock.unlock();
                Tick();
                lock.lock();
            }
        });
    } catch (const std::system_error&) {
        s.timerSet = false;
        return false; // no timer: the time-out counts as reached
    }
    std::unique_lock lock(s.mutex);
    s.changed.wait(lock, [&] { return s.serverGone.load() || s.elapsed.load() > timeoutMs; });
    return s.serverGone.load();
}

} // namespace quillon
