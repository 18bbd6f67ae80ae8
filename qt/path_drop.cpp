#include "qt/path_drop.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace {

class PathDropFilter : public QObject {
 public:
  PathDropFilter(QWidget& target, std::function<void(const QString&)> onPath)
      : QObject(&target), m_onPath(std::move(onPath)) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
      return false;
    }
    auto* drop = static_cast<QDropEvent*>(event);
    const QString path = DraggedPath(drop->mimeData());
    if (path.isEmpty()) return false;
    drop->acceptProposedAction();
    if (type == QEvent::Drop) m_onPath(path);
    return true;
  }

 private:
  std::function<void(const QString&)> m_onPath;
};

}  // namespace

QString DraggedPath(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
  const QUrl url = data->urls().front();
  if (!url.isLocalFile()) return {};
  const QString path = QDir::cleanPath(url.toLocalFile());
  const QFileInfo item(path);
  return item.isDir() || item.isFile() ? path : QString();
}

void AcceptPathDrops(QWidget& target, std::function<void(const QString& path)> onPath) {
  target.setAcceptDrops(true);
  target.installEventFilter(new PathDropFilter(target, std::move(onPath)));
}
