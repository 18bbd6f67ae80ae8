#pragma once

#include <functional>

#include <QWidget>

#include "pass/pass_presenter.h"

class QLabel;
class QProgressBar;
class QPushButton;

// A strip across the bottom of the dialog that shows how far a long pass has come: what it is
// doing, a bar that is busy while it looks for discs and then counts the discs it found, and the
// disc at hand, with a Cancel button at its right end that calls `onCancel`. Its template puts it
// in the band the dialog's template leaves empty, so it covers no control.
class ProgressStrip : public QWidget {
 public:
  ProgressStrip(QWidget& dialog, const std::function<void()>& onCancel);

  void Update(const PassProgress& progress);
  QPushButton& CancelButton() const { return *m_cancel; }

 private:
  QPushButton* m_cancel;
  QLabel* m_text;
  QProgressBar* m_bar;
  QLabel* m_current;
};
