#pragma once

#include <QWidget>

class QLabel;

// A strip across the bottom of the dialog that shows how far a long pass has come: the
// directories visited, the BDMV folders handled and the folder at hand. It lies in the band
// that the dialog's template leaves empty, so it covers no control, and keeps room at its right
// end for a button to stop the pass.
class ProgressStrip : public QWidget {
 public:
  explicit ProgressStrip(QWidget& dialog);

  void Update(long directories, long handled, const QString& current);

 private:
  QLabel* m_directories;
  QLabel* m_handled;
  QLabel* m_current;
};
