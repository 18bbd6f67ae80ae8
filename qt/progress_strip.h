#pragma once

#include <functional>

#include <QWidget>

class QLabel;
class QPushButton;

// A strip across the bottom of the dialog that shows how far a long pass has come: the
// directories visited, the BDMV folders handled and the folder at hand, with a Cancel button at
// its right end that calls `onCancel`. Its template puts it in the band the dialog's template
// leaves empty, so it covers no control.
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
  QString m_directoriesText;  // each with %1 where its count goes
  QString m_handledText;
};
