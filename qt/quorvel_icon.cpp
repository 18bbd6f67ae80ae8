#include "qt/quorvel_icon.h"

QIcon QuorvelIcon() {
  QIcon icon;
  for (const int size : {32, 48, 128, 256}) {
    icon.addFile(QString(":/icons/quorvel-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}
