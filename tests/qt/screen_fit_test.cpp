#include <QAbstractButton>
#include <QMessageBox>
#include <QScreen>
#include <QTextEdit>
#include <QtTest>

#include "tests/qt/scripted_prompts.h"

// On Xvfb at twice the scale (1280x1024 is 640x512 to the program): a summary's details, once
// shown, take 12 lines, the box stays on the work area, and the details grow with the box.
class ScreenFitTest : public QObject {
  Q_OBJECT

 private slots:
  void TheSummaryAndItsDetailsStayOnTheScreenAndGrowWithTheBox() {
    QCOMPARE(QGuiApplication::primaryScreen()->size(), QSize(640, 512));
    QStringList seen;
    WhenModal([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      auto* details = box->findChild<QTextEdit*>();
      for (QAbstractButton* button : box->buttons()) {
        if (box->buttonRole(button) == QMessageBox::ActionRole) button->click();  // Show Details...
      }
      const int spacing = details->fontMetrics().lineSpacing();
      const auto lines = [&] { return details->viewport()->height() / spacing; };
      const bool twelve = QTest::qWaitFor([&] { return lines() >= 12; }, 10000);
      seen << (twelve ? "12 lines" : QString("%1 lines").arg(lines()));
      const QRect area = box->screen()->availableGeometry();
      const bool fits = QTest::qWaitFor([&] { return area.contains(box->frameGeometry()); }, 10000);
      seen << (fits ? "on the screen" : "off the screen");
      const QSize grown = details->size() + QSize(30, 50);
      box->resize(box->size() + QSize(30, 50));  // as the user drags its corner
      const bool grew = QTest::qWaitFor([&] { return details->size() == grown; }, 10000);
      seen << (grew ? "grown" : "fixed");
      box->close();
    });
    DesktopPrompts().ShowMessage(
        nullptr, "Modify 500 file successful", PassMessage::Icon::kWarning,
        QString("/media/disks/a long folder name/BDMV: patched\n").repeated(500));
    QCOMPARE(seen, QStringList({"12 lines", "on the screen", "grown"}));
  }
};

QTEST_MAIN(ScreenFitTest)
#include "screen_fit_test.moc"
