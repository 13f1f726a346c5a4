#pragma once
// The events of one shown notification.

namespace toast {

class IToastHandler {
public:
    virtual ~IToastHandler() = default;
    // Activated with a non-empty argument text, parsed as a number.
    virtual void OnActivatedWithAction(int action_index) = 0;
    // Activated without an argument text.
    virtual void OnActivated() = 0;
    // 0 UserCanceled, 1 ApplicationHidden, 2 TimedOut.
    virtual void OnDismissed(int reason) = 0;
    virtual void OnFailed() = 0;
};

}  // namespace toast
