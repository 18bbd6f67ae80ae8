#pragma once

class QWidget;

// Centres `window`, frame included, on the work area of its screen, as Windows centres a dialog
// that has no owner. The frame is known only once the window manager has put it round the
// window, so the window is centred again when that happens, before it is drawn.
void CentreOnWorkArea(QWidget& window);
