#include "testsupport/Doubles.h"

#include "support/Text.h"

namespace quillon::test {

MessageAnswer ScriptedMessages::Show(const MessageBoxRequest& request) {
    shown_.push_back(request);
    if (auto it = byId_.find(request.id); it != byId_.end())
        return it->second;
    if (!queue_.empty()) {
        const MessageAnswer a = queue_.front();
        queue_.pop_front();
        return a;
    }
    return DefaultAnswer(request.buttons);
}

std::vector<int> ScriptedMessages::ShownIds() const {
    std::vector<int> ids;
    for (const auto& m : shown_)
        ids.push_back(m.id);
    return ids;
}

bool FakeProcessList::IsProcessRunning(std::string_view name) {
    if (++calls > stopAfterCalls && stopAfterCalls > 0)
        return false;
    for (const auto& r : running)
        if (EqualsNoCase(r, name))
            return true;
    return false;
}

} // namespace quillon::test
