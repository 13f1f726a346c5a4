#pragma once
#include "desktop/tray/tray_icon.h"

// The application icon AppIcon at size × size pixels: a blue disc with a
// white downward arrow onto a bar, on a transparent background.
desktop::IconImage DrawAppIcon(int size);
