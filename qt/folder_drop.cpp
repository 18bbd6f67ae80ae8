#include "qt/folder_drop.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace {

class FolderDropFilter : public QObject {
 public:
  FolderDropFilter(QWidget& target, std::function<void(const QString&)> onFolder)
      : QObject(&target), m_onFolder(std::move(onFolder)) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
      return false;
    }
    auto* drop = static_cast<QDropEvent*>(event);
    const QString folder = DraggedFolder(drop->mimeData());
    if (folder.isEmpty()) return false;
    drop->acceptProposedAction();
    if (type == QEvent::Drop) m_onFolder(folder);
    return true;
  }

 private:
  std::function<void(const QString&)> m_onFolder;
};

}  // namespace

QString DraggedFolder(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
  const QUrl url = data->urls().front();
  if (!url.isLocalFile()) return {};
  const QString path = QDir::cleanPath(url.toLocalFile());
  return QFileInfo(path).isDir() ? path : QString();
}

void AcceptFolderDrops(QWidget& target, std::function<void(const QString& folder)> onFolder) {
  target.setAcceptDrops(true);
  target.installEventFilter(new FolderDropFilter(target, std::move(onFolder)));
}
