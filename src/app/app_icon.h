#pragma once
#include "platform/tray_icon.h"

// The application icon AppIcon at size × size pixels: a blue disc with a
// white downward arrow onto a bar, on a transparent background.
platform::IconImage DrawAppIcon(int size);
