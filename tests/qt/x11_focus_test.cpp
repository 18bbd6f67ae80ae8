#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QtTest>

#include "qt/folder_patch_dlg.h"
#include "qt/user_prompts.h"
#include "tests/qt/scripted_prompts.h"
#include "tests/support/temp_tree.h"

using namespace testing_support;

// On a real X server: what the user's mouse and keys do while a pass runs. Clicks and keys are
// made with xdotool, so that they reach the program as X events, as a user's do.
class X11FocusTest : public QObject {
  Q_OBJECT

 private slots:
  void SummaryAfterAMidPassClickIsActiveAndTakesEnter();
};

namespace {

void Xdotool(const QStringList& arguments) {
  QCOMPARE(QProcess::execute("xdotool", arguments), 0);
}

// Folders' messages are answered at once; once the pass shows its progress, the first one
// after a click on it. The summary is the real box.
class ClickingPrompts : public UserPrompts {
 public:
  void ShowMessage(QWidget* owner, const QString& text, PassMessage::Icon icon,
                   const QString& details = {}) override {
    if (text.endsWith("successful")) {
      DesktopPrompts().ShowMessage(owner, text, icon, details);
      return;
    }
    if (clicked) return;
    auto* progress = owner->findChild<QWidget*>("progressStrip");
    if (!progress || !progress->isVisible()) {
      QThread::msleep(100);  // the progress shows a second into the pass
      return;
    }
    clicked = true;
    const QPoint click = progress->mapToGlobal(progress->rect().center());
    Xdotool({"mousemove", "--sync", QString::number(click.x()), QString::number(click.y()), "click",
             "1"});
    QThread::msleep(100);  // past the repaint interval: the pass looks at its events again
  }
  QString ChooseFolder(QWidget*, const QString&) override { return {}; }

  bool clicked = false;
};

}  // namespace

void X11FocusTest::SummaryAfterAMidPassClickIsActiveAndTakesEnter() {
  TempTree tree;
  std::vector<std::string> folders;  // none has an index file: each is reported
  for (int i = 0; i < 30; ++i) folders.push_back("disc" + std::to_string(i) + "/BDMV");
  tree.MakeDirectories(folders);

  ClickingPrompts prompts;
  CFolderPatchDlg dialog(prompts);
  dialog.SetFolderPath(QString::fromStdString(tree.Root().string()));
  dialog.show();
  dialog.activateWindow();  // no window manager to do it
  QVERIFY(QTest::qWaitForWindowActive(&dialog));

  QStringList seen;
  WhenModal([&](QWidget* box) {
    seen << (QTest::qWaitFor([&] { return QApplication::activeWindow() == box; }, 3000)
                 ? "active"
                 : "inactive");
    Xdotool({"key", "Return"});
    seen << (QTest::qWaitFor([&] { return !box->isVisible(); }, 3000) ? "Enter closed it"
                                                                      : "Enter did nothing");
    box->close();
  });
  dialog.findChild<QPushButton*>("IDC_MODIFY")->click();
  QVERIFY(prompts.clicked);
  QCOMPARE(seen, QStringList({"active", "Enter closed it"}));
}

QTEST_MAIN(X11FocusTest)
#include "x11_focus_test.moc"
