#pragma once
// Owners of the sd-bus handles, for the platform's D-Bus users.
#include <systemd/sd-bus.h>

#include <memory>

namespace desktop {

struct BusUnref {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct SlotUnref {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using UniqueBus = std::unique_ptr<sd_bus, BusUnref>;
using UniqueSlot = std::unique_ptr<sd_bus_slot, SlotUnref>;
using UniqueMessage = std::unique_ptr<sd_bus_message, MessageUnref>;

}  // namespace desktop
