#pragma once

#include <QWidget>

class QLabel;

// A small window over the dialog that shows how far a long pass has come: the directories
// visited, the BDMV folders handled and the folder at hand.
class ProgressWindow : public QWidget {
 public:
  explicit ProgressWindow(QWidget& owner);

  void Update(long directories, long handled, const QString& current);

 private:
  QLabel* m_directories;
  QLabel* m_handled;
  QLabel* m_current;
};
