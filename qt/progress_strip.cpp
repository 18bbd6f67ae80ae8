#include "qt/progress_strip.h"

#include <QLabel>
#include <QPushButton>

#include "qt/dialog_template.h"
#include "qt/template_dialog.h"

ProgressStrip::ProgressStrip(QWidget& dialog, const std::function<void()>& onCancel)
    : QWidget(&dialog) {
  BuildPanelFromTemplate(*this, kProgressStripTemplate);
  setFocusPolicy(Qt::NoFocus);
  m_directories = findChild<QLabel*>("IDC_PROGRESS_DIRECTORIES");
  m_handled = findChild<QLabel*>("IDC_PROGRESS_HANDLED");
  m_current = findChild<QLabel*>("IDC_PROGRESS_CURRENT");
  m_directoriesText = m_directories->text();
  m_handledText = m_handled->text();
  // The path is elided to its line; wrapped, it would run below the strip.
  m_current->setWordWrap(false);
  m_cancel = findChild<QPushButton*>("IDC_CANCEL_PASS");
  // The focus stays where the pass found it; Escape is the key for Cancel.
  m_cancel->setFocusPolicy(Qt::NoFocus);
  m_cancel->setAutoDefault(false);
  connect(m_cancel, &QPushButton::clicked, this, onCancel);
  Update(0, 0, {});
}

void ProgressStrip::Update(long directories, long handled, const QString& current) {
  m_directories->setText(m_directoriesText.arg(directories));
  m_handled->setText(m_handledText.arg(handled));
  const QString elided =
      m_current->fontMetrics().elidedText(current, Qt::ElideMiddle, m_current->width());
  m_current->setText(elided);
  m_current->setToolTip(current);
}
