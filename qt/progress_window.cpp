#include "qt/progress_window.h"

#include <QFontMetrics>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QLabel* AddLabel(QVBoxLayout& layout, const char* name) {
  auto* label = new QLabel;
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  layout.addWidget(label);
  return label;
}

}  // namespace

ProgressWindow::ProgressWindow(QWidget& owner)
    : QWidget(&owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("progressWindow");
  setWindowTitle(owner.windowTitle());
  // It only reports; the keyboard stays with the dialog and its message boxes.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  auto* layout = new QVBoxLayout(this);
  m_directories = AddLabel(*layout, "directories");
  m_handled = AddLabel(*layout, "handled");
  m_current = AddLabel(*layout, "current");
  setFixedWidth(owner.width());
  Update(0, 0, {});
  setFixedHeight(sizeHint().height());
  move(owner.geometry().center() - rect().center());
}

void ProgressWindow::Update(long directories, long handled, const QString& current) {
  m_directories->setText(QString("Directories visited: %1").arg(directories));
  m_handled->setText(QString("BDMV folders handled: %1").arg(handled));
  const QString elided =
      m_current->fontMetrics().elidedText(current, Qt::ElideMiddle, m_current->width());
  m_current->setText(elided);
  m_current->setToolTip(current);
}
