#include <QAbstractButton>
#include <QMessageBox>
#include <QScreen>
#include <QTextEdit>
#include <QtTest>

#include "qt/about_box.h"
#include "qt/folder_or_image_chooser.h"
#include "qt/folder_patch_dlg.h"
#include "qt/user_prompts.h"
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

// How long to wait for the X server to place and size a window.
constexpr int kPatience = 10000;

QString Placed(const QWidget& window) {
  const QRect frame = window.frameGeometry();
  const QRect area = window.screen()->availableGeometry();
  return QString("frame %1,%2 %3x%4 in the work area %5,%6 %7x%8")
      .arg(frame.x())
      .arg(frame.y())
      .arg(frame.width())
      .arg(frame.height())
      .arg(area.x())
      .arg(area.y())
      .arg(area.width())
      .arg(area.height());
}

bool OnWorkArea(const QWidget& window) {
  return QTest::qWaitFor(
      [&] { return window.screen()->availableGeometry().contains(window.frameGeometry()); },
      kPatience);
}

QAbstractButton* DetailsButton(QMessageBox& box) {
  for (QAbstractButton* button : box.buttons()) {
    if (box.buttonRole(button) == QMessageBox::ActionRole) return button;
  }
  return nullptr;
}

}  // namespace

void ScreenFitTest::init() {
  QCOMPARE(QGuiApplication::primaryScreen()->size(), QSize(640, 512));
  m_dialog = std::make_unique<CFolderPatchDlg>(m_prompts);
  m_dialog->show();
  QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
  QVERIFY2(OnWorkArea(*m_dialog), qPrintable(Placed(*m_dialog)));
}

void ScreenFitTest::TheSummaryAndItsDetailsStayOnTheScreenAndGrowWithTheBox() {
  QStringList report;
  for (int i = 0; i < 500; ++i) {
    report << QString("/media/disks/films/a rather long folder name %1/BDMV: patched").arg(i);
  }
  QStringList seen;
  WhenModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    auto* details = box ? box->findChild<QTextEdit*>() : nullptr;
    QAbstractButton* show = box ? DetailsButton(*box) : nullptr;
    if (!details || !show) {
      seen << "not a box with details";
      modal->close();
      return;
    }
    seen << (OnWorkArea(*box) ? "on the screen" : "off the screen: " + Placed(*box));
    show->click();
    const bool resizable = QTest::qWaitFor(
        [&] { return details->isVisible() && box->minimumSize() != box->maximumSize(); },
        kPatience);
    seen << (resizable ? "resizable" : "fixed");
    seen << (OnWorkArea(*box) ? "details on the screen"
                              : "details off the screen: " + Placed(*box));
    const int lines = details->viewport()->height() / details->fontMetrics().lineSpacing();
    seen << (lines > 6 ? "more than 6 lines" : QString("%1 lines").arg(lines));

    // Made larger, as the user drags its corner: the details take the room.
    const QSize before = details->size();
    box->resize(box->size() + QSize(30, 50));
    seen << (QTest::qWaitFor([&] { return details->size() == before + QSize(30, 50); }, kPatience)
                 ? "the details grew with the box"
                 : QString("the details are %1x%2, were %3x%4")
                       .arg(details->width())
                       .arg(details->height())
                       .arg(before.width())
                       .arg(before.height()));
    box->close();
  });
  DesktopPrompts().ShowMessage(m_dialog.get(), "Modify 500 file successful",
                               PassMessage::Icon::kWarning, report.join('\n'));
  QCOMPARE(seen, QStringList({"on the screen", "resizable", "details on the screen",
                              "more than 6 lines", "the details grew with the box"}));
}

void ScreenFitTest::TheAboutBoxAndTheImageChooserStayOnTheScreen() {
  QStringList seen;
  const auto look = [&](QWidget* modal) {
    seen << (OnWorkArea(*modal) ? "on the screen" : "off the screen: " + Placed(*modal));
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
