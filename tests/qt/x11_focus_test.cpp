#include <functional>

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
  void MidPassActionsAndTheSummaryThatFollows_data();
  void MidPassActionsAndTheSummaryThatFollows();
};

namespace {

void Xdotool(const QStringList& arguments) {
  QCOMPARE(QProcess::execute("xdotool", arguments), 0);
}

// Folders' messages are answered at once; once the pass shows its progress, the first one
// after the user's action on the strip. The summary is the real box.
class MidPassPrompts : public UserPrompts {
 public:
  explicit MidPassPrompts(std::function<void(QWidget& strip)> act) : m_act(std::move(act)) {}

  void ShowMessage(QWidget* owner, const QString& text, PassMessage::Icon icon,
                   const QString& details = {}) override {
    if (text.contains("successful")) {
      DesktopPrompts().ShowMessage(owner, text, icon, details);
      return;
    }
    ++folderMessages;
    if (acted) return;
    auto* progress = owner->findChild<QWidget*>("IDD_PROGRESS_STRIP");
    if (!progress || !progress->isVisible()) {
      QThread::msleep(100);  // the progress shows a second into the pass
      return;
    }
    acted = true;
    m_act(*progress);
    QThread::msleep(100);  // past the repaint interval: the pass looks at its events again
  }
  QString ChooseFolder(QWidget*, const QString&) override { return {}; }

  bool acted = false;
  int folderMessages = 0;

 private:
  std::function<void(QWidget&)> m_act;
};

void ClickOn(const QWidget& widget) {
  const QPoint click = widget.mapToGlobal(widget.rect().center());
  Xdotool({"mousemove", "--sync", QString::number(click.x()), QString::number(click.y()), "click",
           "1"});
}

}  // namespace

void X11FocusTest::MidPassActionsAndTheSummaryThatFollows_data() {
  QTest::addColumn<QString>("action");
  QTest::addColumn<bool>("stops");
  QTest::newRow("click on the strip") << "strip" << false;
  QTest::newRow("click on Cancel") << "cancel" << true;
  QTest::newRow("Escape") << "escape" << true;
}

void X11FocusTest::MidPassActionsAndTheSummaryThatFollows() {
  QFETCH(QString, action);
  QFETCH(bool, stops);
  TempTree tree;
  constexpr int kFolders = 30;
  std::vector<std::string> folders;  // none has an index file: each is reported
  for (int i = 0; i < kFolders; ++i) folders.push_back("disc" + std::to_string(i) + "/BDMV");
  tree.MakeDirectories(folders);

  MidPassPrompts prompts([&](QWidget& strip) {
    if (action == "strip") ClickOn(strip);
    if (action == "cancel") ClickOn(*strip.findChild<QPushButton*>("IDC_CANCEL_PASS"));
    if (action == "escape") Xdotool({"key", "Escape"});
  });
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
  QVERIFY(prompts.acted);
  QCOMPARE(seen, QStringList({"active", "Enter closed it"}));
  // Cancel and Escape stop the walk after the folder at hand; a click elsewhere does nothing.
  QCOMPARE(prompts.folderMessages < kFolders, stops);
  QVERIFY(dialog.isVisible());
}

QTEST_MAIN(X11FocusTest)
#include "x11_focus_test.moc"
