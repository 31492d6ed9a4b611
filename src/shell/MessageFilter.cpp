#include "shell/MessageFilter.h"

namespace quillon {

bool CCustomMessageFilter::OnMessagePending(TimerMessageQueue& queue) {
    int handled = 0;
    QueuedMessage message;
    while (queue.TakeTimerMessage(message)) {
        if (!queue.PreTranslate(message))
            queue.Dispatch(message);
        if (++handled == kMaxMessagesPerCall)
            return true;
    }
    return handled > 0;
}

} // namespace quillon
