#pragma once
// The program's handler, counting its events so a test knows when to stop
// pumping the event loop.
#include <memory>

#include "notify/update_toast_handler.h"

namespace notify_test {

class CountingHandler : public UpdateToastHandler {
public:
    explicit CountingHandler(std::shared_ptr<int> events) : events_(std::move(events)) {}

    void OnActivatedWithAction(int action_index) override
    {
        UpdateToastHandler::OnActivatedWithAction(action_index);
        ++*events_;
    }
    void OnActivated() override
    {
        UpdateToastHandler::OnActivated();
        ++*events_;
    }
    void OnDismissed(int reason) override
    {
        UpdateToastHandler::OnDismissed(reason);
        ++*events_;
    }
    void OnFailed() override
    {
        UpdateToastHandler::OnFailed();
        ++*events_;
    }

private:
    std::shared_ptr<int> events_;
};

}  // namespace notify_test
