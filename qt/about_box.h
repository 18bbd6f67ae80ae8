#pragma once

#include <QDialog>

// The About box: Quorvel's icon, its name and version, and "确定".
class CAboutBox : public QDialog {
 public:
  explicit CAboutBox(QWidget* parent);
};
