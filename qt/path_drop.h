#pragma once

#include <functional>

#include <QString>

class QMimeData;
class QWidget;

// The folder (or file: a disc image, for the pass to judge) a drag carries: one URL, naming a local
// directory or regular file. Empty for anything else.
QString DraggedPath(const QMimeData* data);

// Lets `target` take a folder or file dragged from a file manager: `onPath` gets its path. Other
// drags are left to the widget (an edit box still takes dropped text).
void AcceptPathDrops(QWidget& target, std::function<void(const QString& path)> onPath);
