#include "platform/process/machine_service.h"

#include <utility>

namespace platform {

bool IsServiceRegistered(std::wstring_view) { return false; }

ChangeEvent::ChangeEvent(std::wstring_view) {}

ChangeEvent::~ChangeEvent() = default;

void ChangeEvent::Pulse() {}

ChangeEventWatch::ChangeEventWatch(std::wstring_view, std::function<void()> on_set) : on_set_(std::move(on_set)) {}

ChangeEventWatch::~ChangeEventWatch() = default;

}  // namespace platform
