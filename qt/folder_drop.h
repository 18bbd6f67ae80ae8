#pragma once

#include <functional>

#include <QString>

class QMimeData;
class QWidget;

// The folder a drag carries: one URL, naming a local directory. Empty for anything else.
QString DraggedFolder(const QMimeData* data);

// Lets `target` take a folder dragged from a file manager: `onFolder` gets its path. Other drags
// are left to the widget (an edit box still takes dropped text).
void AcceptFolderDrops(QWidget& target, std::function<void(const QString& folder)> onFolder);
