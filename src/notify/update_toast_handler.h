#pragma once
// The program's notification events: one line on standard output each.
#include "notify/toast_handler.h"

class UpdateToastHandler : public toast::IToastHandler {
public:
    ~UpdateToastHandler() override = default;
    void OnActivatedWithAction(int action_index) override;
    void OnActivated() override;
    void OnDismissed(int reason) override;
    void OnFailed() override;
};
