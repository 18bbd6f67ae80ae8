#pragma once

#include <QFont>

// The dialogs' font: "宋体" at 9 points where it is installed, otherwise the first installed
// font that has Chinese glyphs, so that no caption shows as empty boxes.
QFont DialogFont();
