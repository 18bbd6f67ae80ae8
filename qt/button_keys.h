#pragma once

class QAbstractButton;

// Lets `button` be pressed by Space only when no modifier is held: Alt+Space belongs to the
// window menu, and a modified Space must never run a pass by accident.
void PressOnlyOnPlainSpace(QAbstractButton& button);
