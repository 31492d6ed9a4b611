#pragma once
// Doubles of the ports for tests.
#include "platform/MessagePort.h"
#include "platform/ProcessList.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace quillon::test {

// Records every message box and answers from a script: by string id first, then from the
// queue of next answers, else the box's default button.
class ScriptedMessages : public MessagePort {
public:
    MessageAnswer Show(const MessageBoxRequest& request) override;

    void AnswerId(int id, MessageAnswer answer) { byId_[id] = answer; }
    void AnswerNext(MessageAnswer answer) { queue_.push_back(answer); }

    const std::vector<MessageBoxRequest>& Shown() const { return shown_; }
    std::vector<int> ShownIds() const;
    void Clear() { shown_.clear(); }

private:
    std::vector<MessageBoxRequest> shown_;
    std::map<int, MessageAnswer> byId_;
    std::deque<MessageAnswer> queue_;
};

// Answers IsProcessRunning from a set of names; counts the calls.
class FakeProcessList : public ProcessList {
public:
    bool IsProcessRunning(std::string_view name) override;
    std::vector<std::string> running;
    int calls = 0;
    int stopAfterCalls = 0; // > 0: nothing runs any more once this many calls were made
};

} // namespace quillon::test
