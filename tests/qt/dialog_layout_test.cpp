#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRawFont>
#include <QtTest>

#include "qt/dialog_units.h"
#include "qt/folder_patch_dlg.h"
#include "tests/qt/scripted_prompts.h"

// The main dialog as its template describes it: ids, texts, places, tab order, font.
class DialogLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void ControlsMatchTheTemplate_data();
  void ControlsMatchTheTemplate();
  void TabOrderIsTemplateOrderAndModifyIsDefault();
  void DialogHasTemplateSizeCaptionAndIcon();
  void FontShowsChineseAndEveryCaptionFits();
};

void DialogLayoutTest::ControlsMatchTheTemplate_data() {
  QTest::addColumn<int>("id");
  QTest::addColumn<QString>("className");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QRect>("dialogUnits");

  QTest::newRow("IDC_MODIFY") << 1000 << "QPushButton"
                              << "Modify" << QRect(73, 127, 50, 14);
  QTest::newRow("IDC_RESTORE") << 1001 << "QPushButton"
                               << "Restore" << QRect(166, 128, 50, 14);
  QTest::newRow("IDC_HINT") << 1002 << "QLabel"
                            << "Choose BD Folder Path (support whole HDD)" << QRect(70, 25, 200, 8);
  QTest::newRow("IDC_PATH_LABEL") << 1003 << "QLabel"
                                  << "Folder Path:" << QRect(18, 43, 53, 11);
  QTest::newRow("IDC_FOLDER_PATH") << 1004 << "QLineEdit"
                                   << "" << QRect(69, 42, 150, 14);
  QTest::newRow("IDC_BROWSE") << 1005 << "QPushButton"
                              << "Browse" << QRect(234, 42, 50, 14);
  QTest::newRow("IDC_3D_NOTE") << 1007 << "QLabel"
                               << "(3D content is not supported. Please tick \"Convert 3D to 2D\" "
                                  "\nfor successful modification. )"
                               << QRect(7, 105, 306, 18);
  QTest::newRow("IDC_CONVERT_3D") << 1010 << "QCheckBox"
                                  << "Convert 3D to 2D" << QRect(70, 61, 80, 10);
}

void DialogLayoutTest::ControlsMatchTheTemplate() {
  QFETCH(int, id);
  QFETCH(QString, className);
  QFETCH(QString, text);
  QFETCH(QRect, dialogUnits);
  ScriptedPrompts prompts;
  CFolderPatchDlg dialog(prompts);
  const DialogUnits units(dialog.font());

  auto* control = dialog.findChild<QWidget*>(QTest::currentDataTag());
  QVERIFY2(control, QTest::currentDataTag());
  QCOMPARE(control->metaObject()->className(), className);
  QCOMPARE(control->property("controlId").toInt(), id);
  QString shown;
  if (auto* button = qobject_cast<QAbstractButton*>(control)) shown = button->text();
  if (auto* label = qobject_cast<QLabel*>(control)) shown = label->text();
  if (auto* edit = qobject_cast<QLineEdit*>(control)) shown = edit->text();
  QCOMPARE(shown, text);

  // Windows scales each coordinate on its own, rounding halves away from zero.
  auto scale = [](int value, int base, int divisor) {
    return static_cast<int>(std::lround(value * base / static_cast<double>(divisor)));
  };
  const QRect expected(
      scale(dialogUnits.x(), units.BaseX(), 4), scale(dialogUnits.y(), units.BaseY(), 8),
      scale(dialogUnits.width(), units.BaseX(), 4), scale(dialogUnits.height(), units.BaseY(), 8));
  QCOMPARE(control->geometry(), expected);
}

void DialogLayoutTest::TabOrderIsTemplateOrderAndModifyIsDefault() {
  ScriptedPrompts prompts;
  CFolderPatchDlg dialog(prompts);
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));

  auto* modify = dialog.findChild<QPushButton*>("IDC_MODIFY");
  QCOMPARE(dialog.focusWidget(), modify);
  QVERIFY(modify->isDefault());
  QVERIFY(!dialog.findChild<QPushButton*>("IDC_RESTORE")->isDefault());

  QStringList order;
  for (int i = 0; i < 6; ++i) {
    order.push_back(QApplication::focusWidget()->objectName());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  QCOMPARE(order, QStringList({"IDC_MODIFY", "IDC_RESTORE", "IDC_FOLDER_PATH", "IDC_BROWSE",
                               "IDC_CONVERT_3D", "IDC_MODIFY"}));
}

void DialogLayoutTest::DialogHasTemplateSizeCaptionAndIcon() {
  ScriptedPrompts prompts;
  CFolderPatchDlg dialog(prompts);
  const DialogUnits units(dialog.font());

  QCOMPARE(dialog.objectName(), "IDD_MAIN");
  QCOMPARE(dialog.property("controlId").toInt(), 102);
  QCOMPARE(dialog.windowTitle(), "Quorvel 2.0");
  QCOMPARE(dialog.size(), units.ToPixels(320, 200));
  QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
  QVERIFY(!(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
  QCOMPARE(dialog.font().pointSize(), 9);

  const QList<QSize> sizes = dialog.windowIcon().availableSizes();
  QVERIFY(sizes.contains(QSize(32, 32)));
  QVERIFY(sizes.contains(QSize(256, 256)));
  QCOMPARE(dialog.m_hIcon.pixmap(32, 32).toImage(), dialog.windowIcon().pixmap(32, 32).toImage());
}

void DialogLayoutTest::FontShowsChineseAndEveryCaptionFits() {
  ScriptedPrompts prompts;
  CFolderPatchDlg dialog(prompts);

  const QRawFont raw = QRawFont::fromFont(dialog.font());
  for (const QChar c : QString("关于确定内存不足在存取时发生共享违例ModifyRestore")) {
    QVERIFY2(raw.supportsCharacter(c),
             qPrintable(QString("no glyph for ") + c + " in " + raw.familyName()));
  }

  const QFontMetrics metrics(dialog.font());
  for (QLabel* label : dialog.findChildren<QLabel*>()) {
    for (const QString& line : label->text().split('\n')) {
      QVERIFY2(metrics.horizontalAdvance(line) <= label->width(), qPrintable(line));
    }
    QVERIFY2(metrics.height() * label->text().count('\n') + metrics.height() <=
                 label->height() + metrics.descent(),
             qPrintable(label->objectName()));
  }
  for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
    const int box = qobject_cast<QCheckBox*>(button) ? button->iconSize().width() + 8 : 4;
    QVERIFY2(metrics.horizontalAdvance(button->text()) + box <= button->width(),
             qPrintable(button->text()));
  }
}

QTEST_MAIN(DialogLayoutTest)
#include "dialog_layout_test.moc"
