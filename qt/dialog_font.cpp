#include "qt/dialog_font.h"

#include <QFontDatabase>
#include <QStringList>

QFont DialogFont() {
  // "宋体" first; then the CJK fonts Debian packages (fonts-wqy-zenhei is the one Quorvel's
  // package depends on).
  static const QStringList kFamilies = {"宋体",
                                        "SimSun",
                                        "WenQuanYi Zen Hei",
                                        "Noto Sans CJK SC",
                                        "Noto Serif CJK SC",
                                        "AR PL UMing CN",
                                        "Droid Sans Fallback"};
  QFont font;
  for (const QString& family : kFamilies) {
    if (QFontDatabase::hasFamily(family)) {
      font.setFamily(family);
      break;
    }
  }
  font.setPointSize(9);
  return font;
}
