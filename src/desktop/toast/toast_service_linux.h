#pragma once
// Notifications through the freedesktop notification service on the
// session bus. The notifiers of a thread share one bus connection, attached
// to that thread's default event loop: the loop the thread runs delivers the
// notifications' events to their delegates, in the order the server sent them.
#include <memory>
#include <string>

#include "desktop/toast/toast_platform.h"
#include "desktop/toast/xml_document.h"
#include "platform/base/hresult.h"

namespace desktop {

// The session bus ($DBUS_SESSION_BUS_ADDRESS, else $XDG_RUNTIME_DIR/bus)
// accepts a connection.
bool SessionBusReachable();

// A notifier that sends under the application name. Fails when the bus
// cannot be reached or the connection cannot join the event loop. A shown
// notification stays alive until the server reports it closed.
platform::HResult CreateDesktopNotifier(const std::wstring& application_name, std::shared_ptr<ToastNotifier>& notifier);

// A notification of the document as it stands now.
platform::HResult CreateDesktopNotification(const XmlDocument& document,
                                            std::shared_ptr<ToastNotification>& notification);

}  // namespace desktop
