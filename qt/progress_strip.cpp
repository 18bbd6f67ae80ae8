#include "qt/progress_strip.h"

#include <algorithm>

#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "qt/dialog_template.h"
#include "qt/template_dialog.h"

ProgressStrip::ProgressStrip(QWidget& dialog, const std::function<void()>& onCancel)
    : QWidget(&dialog) {
  BuildPanelFromTemplate(*this, kProgressStripTemplate);
  setFocusPolicy(Qt::NoFocus);
  m_text = findChild<QLabel*>("IDC_PROGRESS_TEXT");
  m_bar = findChild<QProgressBar*>("IDC_PROGRESS_BAR");
  m_current = findChild<QLabel*>("IDC_PROGRESS_CURRENT");
  // The path is elided to its line; wrapped, it would run below the strip.
  m_current->setWordWrap(false);
  m_cancel = findChild<QPushButton*>("IDC_CANCEL_PASS");
  // The focus stays where the pass found it; Escape is the key for Cancel.
  m_cancel->setFocusPolicy(Qt::NoFocus);
  m_cancel->setAutoDefault(false);
  connect(m_cancel, &QPushButton::clicked, this, onCancel);
  Update({});
}

void ProgressStrip::Update(const PassProgress& progress) {
  m_text->setText(QString::fromUtf8(ProgressText(progress)));
  if (progress.searching) {
    m_bar->setRange(0, 0);  // busy: nobody knows yet how many discs there are
  } else {
    // With no disc found, an empty bar: a range of 0 to 0 would be busy again.
    m_bar->setRange(0, static_cast<int>(std::max(progress.found, 1L)));
    m_bar->setValue(static_cast<int>(progress.disc));
  }
  const QString current = QFile::decodeName(progress.current.c_str());
  m_current->setText(
      m_current->fontMetrics().elidedText(current, Qt::ElideMiddle, m_current->width()));
  m_current->setToolTip(current);
}
