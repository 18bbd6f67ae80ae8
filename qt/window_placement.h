#pragma once

class QWidget;

// Centres `window`, frame included, on the work area of its screen, as Windows centres a dialog
// that has no owner. The frame is known only once the window manager has put it round the
// window, so the window is centred again when that happens, before it is drawn.
void CentreOnWorkArea(QWidget& window);

// Moves `window`, frame included, onto the work area of its screen where it would stand partly
// off it, made no larger than the area (down to its minimum size). Done again once the frame is
// known, if it is not yet.
void KeepOnWorkArea(QWidget& window);
