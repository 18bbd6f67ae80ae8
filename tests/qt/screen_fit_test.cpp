#include <QAbstractButton>
#include <QMessageBox>
#include <QScreen>
#include <QTextEdit>
#include <QtTest>

#include "qt/about_box.h"
#include "qt/folder_or_image_chooser.h"
#include "qt/folder_patch_dlg.h"
#include "tests/qt/scripted_prompts.h"

// On a real X server at twice the scale (QT_SCALE_FACTOR=2 on a 1280x1024 screen: 640x512 to the
// program): the dialog and each of its boxes lie on the screen's work area, and a summary's
// details, once shown, grow with a box the user makes larger.
class ScreenFitTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void TheSummaryAndItsDetailsStayOnTheScreenAndGrowWithTheBox();
  void TheAboutBoxAndTheImageChooserStayOnTheScreen();

 private:
  ScriptedPrompts m_prompts;
  std::unique_ptr<CFolderPatchDlg> m_dialog;
};

namespace {

// Waits for the X server to place and size the window; says where it is when it is off the area.
QString OnWorkArea(const QWidget& window, const QString& what = "on the screen") {
  const auto fits = [&] {
    return window.screen()->availableGeometry().contains(window.frameGeometry());
  };
  if (QTest::qWaitFor(fits, 10000)) return what;
  QString placed;
  QDebug(&placed) << what << "off:" << window.frameGeometry()
                  << window.screen()->availableGeometry();
  return placed;
}

}  // namespace

void ScreenFitTest::init() {
  QCOMPARE(QGuiApplication::primaryScreen()->size(), QSize(640, 512));
  m_dialog = std::make_unique<CFolderPatchDlg>(m_prompts);
  m_dialog->show();
  QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
  QCOMPARE(OnWorkArea(*m_dialog), "on the screen");
}

void ScreenFitTest::TheSummaryAndItsDetailsStayOnTheScreenAndGrowWithTheBox() {
  QStringList report;
  for (int i = 0; i < 500; ++i)
    report << QString("/media/disks/a long folder name %1/BDMV: patched").arg(i);
  QStringList seen;
  WhenModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    auto* details = modal->findChild<QTextEdit*>();
    seen << OnWorkArea(*modal);
    for (QAbstractButton* button : box->buttons()) {
      if (box->buttonRole(button) == QMessageBox::ActionRole) button->click();  // Show Details...
    }
    seen << (QTest::qWaitFor([&] { return box->minimumSize() != box->maximumSize(); }, 10000)
                 ? "resizable"
                 : "fixed");
    seen << OnWorkArea(*box, "details on the screen");
    const int lines = details->viewport()->height() / details->fontMetrics().lineSpacing();
    seen << (lines > 6 ? "more than 6 lines" : QString("%1 lines").arg(lines));
    // Made larger, as the user drags its corner: the details take the room.
    const QSize grown = details->size() + QSize(30, 50);
    box->resize(box->size() + QSize(30, 50));
    seen << (QTest::qWaitFor([&] { return details->size() == grown; }, 10000) ? "grown"
                                                                              : "not grown");
    box->close();
  });
  DesktopPrompts().ShowMessage(m_dialog.get(), "Modify 500 file successful",
                               PassMessage::Icon::kWarning, report.join('\n'));
  QCOMPARE(seen, QStringList({"on the screen", "resizable", "details on the screen",
                              "more than 6 lines", "grown"}));
}

void ScreenFitTest::TheAboutBoxAndTheImageChooserStayOnTheScreen() {
  QStringList seen;
  const auto look = [&](QWidget* modal) {
    seen << OnWorkArea(*modal);
    modal->close();
  };
  WhenModal(look);
  CAboutBox(m_dialog.get()).exec();
  WhenModal(look);
  FolderOrImageChooser(m_dialog.get(), "Please select folder path", QDir::homePath()).exec();
  QCOMPARE(seen, QStringList({"on the screen", "on the screen"}));
}

QTEST_MAIN(ScreenFitTest)
#include "screen_fit_test.moc"
