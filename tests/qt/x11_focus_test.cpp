#include <functional>

#include <QLineEdit>
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
  void AClickBehindABoxLeavesTheKeysWithTheBox_data();
  void AClickBehindABoxLeavesTheKeysWithTheBox();
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
  QString ChooseFolder(QWidget*, const QString&, Choice) override { return {}; }

  bool acted = false;
  int folderMessages = 0;

 private:
  std::function<void(QWidget&)> m_act;
};

void ClickAt(const QPoint& point) {
  Xdotool({"mousemove", "--sync", QString::number(point.x()), QString::number(point.y()), "click",
           "1"});
}

void ClickOn(const QWidget& widget) {
  ClickAt(widget.mapToGlobal(widget.rect().center()));
}

void ShowWithTheKeyboard(QWidget& dialog) {
  dialog.show();
  dialog.activateWindow();  // no window manager to do it
  QVERIFY(QTest::qWaitForWindowActive(&dialog));
}

QString Activation(const QWidget* box) {
  return QTest::qWaitFor([&] { return QApplication::activeWindow() == box; }, 3000) ? "active"
                                                                                    : "inactive";
}

// A corner of `widget` that `box` does not cover, on the screen.
QPoint UncoveredCorner(const QWidget& widget, const QWidget& box) {
  const QRect inside = widget.geometry().adjusted(3, 3, -3, -3);
  for (const QPoint corner :
       {inside.topLeft(), inside.topRight(), inside.bottomLeft(), inside.bottomRight()}) {
    if (!box.frameGeometry().contains(corner)) return corner;
  }
  return inside.topLeft();
}

}  // namespace

void X11FocusTest::MidPassActionsAndTheSummaryThatFollows_data() {
  QTest::addColumn<QString>("action");
  QTest::addColumn<bool>("stops");
  QTest::newRow("click on the strip") << "strip" << false;
  QTest::newRow("click on the edit box") << "edit" << false;
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

  CFolderPatchDlg* shownBy = nullptr;
  MidPassPrompts prompts([&](QWidget& strip) {
    CFolderPatchDlg& dialog = *shownBy;
    if (action == "strip") ClickOn(strip);
    if (action == "edit") ClickOn(*dialog.findChild<QLineEdit*>("IDC_FOLDER_PATH"));
    if (action == "cancel") ClickOn(*strip.findChild<QPushButton*>("IDC_CANCEL_PASS"));
    if (action == "escape") Xdotool({"key", "Escape"});
  });
  CFolderPatchDlg dialog(prompts);
  shownBy = &dialog;
  dialog.SetFolderPath(QString::fromStdString(tree.Root().string()));
  ShowWithTheKeyboard(dialog);

  QStringList seen;
  WhenModal([&](QWidget* box) {
    seen << Activation(box);
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
  QVERIFY2(dialog.focusWidget() == dialog.findChild<QPushButton*>("IDC_MODIFY"),
           "the focus is where the pass found it");
}

void X11FocusTest::AClickBehindABoxLeavesTheKeysWithTheBox_data() {
  QTest::addColumn<QString>("key");
  QTest::newRow("Enter") << "Return";
  QTest::newRow("Escape") << "Escape";
}

// A window manager that focuses on click gives the keyboard to the dialog clicked behind a box;
// the box takes it back, so that Enter and Escape still close it.
void X11FocusTest::AClickBehindABoxLeavesTheKeysWithTheBox() {
  QFETCH(QString, key);
  ScriptedPrompts prompts;
  CFolderPatchDlg dialog(prompts);
  ShowWithTheKeyboard(dialog);

  QStringList seen;
  WhenModal([&](QWidget* box) {
    seen << Activation(box);
    ClickAt(UncoveredCorner(dialog, *box));
    // What the window manager does with the click.
    Xdotool({"windowfocus", "--sync", QString::number(dialog.winId())});
    QTest::qWait(200);  // the change of focus reaches the program
    Xdotool({"key", key});
    seen << (QTest::qWaitFor([&] { return !box->isVisible(); }, 3000) ? "closed by the key"
                                                                      : "left open");
    box->close();
  });
  DesktopPrompts().ShowMessage(&dialog, "Modify 1 file successful", PassMessage::Icon::kWarning);
  QCOMPARE(seen, QStringList({"active", "closed by the key"}));
}

QTEST_MAIN(X11FocusTest)
#include "x11_focus_test.moc"
