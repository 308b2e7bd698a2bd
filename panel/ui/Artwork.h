#pragma once

#include <QIcon>
#include <QPixmap>

// The window icon: a ship's hull under a radio wave, in a small and a large size.
QIcon MakeApplicationIcon();
// The same drawing at any size, for the desktop menu.
QPixmap DrawApplicationIcon(int size);

// The antenna diagram beside the A/B/C/D fields: a 55 x 101 pixel ship outline, bow up,
// with the antenna marked by a dot and dotted lines to bow (A), stern (B), port (C) and
// starboard (D).
QPixmap MakeAntennaDiagram();
