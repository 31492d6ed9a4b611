#pragma once
// CCustomMessageFilter's rule: while the user thread waits on an outgoing service call, pending
// timer messages (and only those) are taken from the thread's queue one at a time; each is
// offered to the pre-translation hook and, when the hook does not consume it, dispatched.
#include <cstdint>

namespace quillon {

struct QueuedMessage {
    std::uintptr_t target = 0;
    std::uint32_t id = 0;
};

// The thread's message queue as the filter sees it (implemented by the GUI; tests use a double).
class TimerMessageQueue {
public:
    virtual ~TimerMessageQueue() = default;
    // Removes the next pending timer message; false when there is none.
    virtual bool TakeTimerMessage(QueuedMessage& message) = 0;
    // The application's pre-translation hook; true when it consumed the message.
    virtual bool PreTranslate(const QueuedMessage& message) = 0;
    virtual void Dispatch(const QueuedMessage& message) = 0;
};

class CCustomMessageFilter {
public:
    static constexpr int kMaxMessagesPerCall = 16;
    // Answers true after the 16th message, or when the queue ran out after at least one;
    // false when there was no timer message at all.
    bool OnMessagePending(TimerMessageQueue& queue);
};

} // namespace quillon
