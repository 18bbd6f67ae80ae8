#include "qt/progress_strip.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "qt/dialog_template.h"
#include "qt/dialog_units.h"

namespace {

// The size of a template push button.
constexpr int kButtonWidthDlu = 50;
constexpr int kButtonHeightDlu = 14;

QLabel* AddLabel(QGridLayout& layout, const char* name, int row) {
  auto* label = new QLabel;
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  layout.addWidget(label, row, 0);
  return label;
}

}  // namespace

ProgressStrip::ProgressStrip(QWidget& dialog, const std::function<void()>& onCancel)
    : QWidget(&dialog) {
  setObjectName("progressStrip");
  setFocusPolicy(Qt::NoFocus);
  const DialogUnits units(dialog.font());
  setGeometry(units.ToPixels(kProgressStripRect));

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setVerticalSpacing(0);
  auto* rule = new QFrame;
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);
  layout->addWidget(rule, 0, 0, 1, 2);
  m_directories = AddLabel(*layout, "directories", 1);
  m_handled = AddLabel(*layout, "handled", 2);
  m_current = AddLabel(*layout, "current", 3);
  m_cancel = new QPushButton("Cancel");
  m_cancel->setObjectName("cancelButton");
  // The focus stays where the pass found it; Escape is the key for Cancel.
  m_cancel->setFocusPolicy(Qt::NoFocus);
  m_cancel->setAutoDefault(false);
  m_cancel->setFixedSize(units.ToPixels(kButtonWidthDlu, kButtonHeightDlu));
  connect(m_cancel, &QPushButton::clicked, this, onCancel);
  layout->addWidget(m_cancel, 1, 1, 3, 1, Qt::AlignCenter);
  layout->setColumnStretch(0, 1);
  layout->setRowStretch(4, 1);
  // The path is elided to the room there is; its length must not widen the strip.
  m_current->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  layout->activate();
  Update(0, 0, {});
}

void ProgressStrip::Update(long directories, long handled, const QString& current) {
  m_directories->setText(QString("Directories visited: %1").arg(directories));
  m_handled->setText(QString("BDMV folders handled: %1").arg(handled));
  const QString elided =
      m_current->fontMetrics().elidedText(current, Qt::ElideMiddle, m_current->width());
  m_current->setText(elided);
  m_current->setToolTip(current);
}
