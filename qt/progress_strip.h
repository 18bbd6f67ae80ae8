#pragma once

#include <functional>

#include <QWidget>

class QLabel;
class QPushButton;

// A strip across the bottom of the dialog that shows how far a long pass has come: the
// directories visited, the BDMV folders handled and the folder at hand. It lies in the band
// that the dialog's template leaves empty, so it covers no control, and keeps room at its right
// end for the Cancel button, which calls `onCancel`.
class ProgressStrip : public QWidget {
 public:
  ProgressStrip(QWidget& dialog, const std::function<void()>& onCancel);

  void Update(long directories, long handled, const QString& current);
  QPushButton& CancelButton() const { return *m_cancel; }

 private:
  QPushButton* m_cancel;
  QLabel* m_directories;
  QLabel* m_handled;
  QLabel* m_current;
};
