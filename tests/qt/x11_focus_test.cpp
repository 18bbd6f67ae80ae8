#include <cstdint>
#include <cstring>
#include <functional>

#include <QAbstractNativeEventFilter>
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

// How long to wait for what the X server and the program do with an action: long, as a loaded
// machine may take seconds, and never waited out when things go well.
constexpr int kPatience = 30000;

void Xdotool(const QStringList& arguments) {
  QCOMPARE(QProcess::execute("xdotool", arguments), 0);
}

// Counts the clicks and keys the X server has handed to the program, let go of (a click and a
// key stroke are whole then), before Qt does anything with them.
class ReleasesSeen : public QAbstractNativeEventFilter {
 public:
  ReleasesSeen() { qApp->installNativeEventFilter(this); }
  ~ReleasesSeen() override { qApp->removeNativeEventFilter(this); }

  // Keys come as core events, the mouse as the input extension's generic events, which carry
  // their own type after the header; the release has the same number in both.
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    constexpr std::uint8_t kKeyRelease = 3;
    constexpr std::uint8_t kButtonRelease = 5;
    constexpr std::uint8_t kGeneric = 35;
    if (type != "xcb_generic_event_t") return false;
    const auto* bytes = static_cast<const std::uint8_t*>(message);
    std::uint16_t event = bytes[0] & 0x7f;
    if (event == kGeneric) std::memcpy(&event, bytes + 8, sizeof event);
    if (event == kKeyRelease || event == kButtonRelease) ++count;
    return false;
  }

  int count = 0;
};

// Folders' messages are answered at once; once the pass shows its progress, the first one
// after the user's action on the strip, which waits until the program has the action: the
// rest of the pass may take no time at all. The summary is the real box.
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
    ReleasesSeen releases;
    m_act(*progress);
    delivered = QTest::qWaitFor([&] { return releases.count > 0; }, kPatience);
  }
  QString ChooseFolder(QWidget*, const QString&, Choice) override { return {}; }

  bool acted = false;
  bool delivered = false;
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
  return QTest::qWaitFor([&] { return QApplication::activeWindow() == box; }, kPatience)
             ? "active"
             : "inactive";
}

// The window that has the keyboard, as the X server says.
WId XFocus() {
  QProcess xdotool;
  xdotool.start("xdotool", {"getwindowfocus"});
  xdotool.waitForFinished();
  return xdotool.readAllStandardOutput().trimmed().toULongLong();
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
    seen << (QTest::qWaitFor([&] { return !box->isVisible(); }, kPatience) ? "Enter closed it"
                                                                           : "Enter did nothing");
    box->close();
  });
  dialog.findChild<QPushButton*>("IDC_MODIFY")->click();
  QVERIFY(prompts.acted);
  QVERIFY(prompts.delivered);
  QCOMPARE(seen, QStringList({"active", "Enter closed it"}));
  // Cancel and Escape stop the walk after the folder at hand; a click elsewhere does nothing.
  QCOMPARE(prompts.folderMessages < kFolders, stops);
  QVERIFY(dialog.isVisible());
  QVERIFY2(dialog.focusWidget() == dialog.findChild<QPushButton*>("IDC_MODIFY"),
           "the focus is where the pass found it");
}

void X11FocusTest::AClickBehindABoxLeavesTheKeysWithTheBox_data() {
  QTest::addColumn<QString>("key");
  QTest::addColumn<bool>("onTheDialog");
  QTest::newRow("Enter") << "Return" << true;
  QTest::newRow("Escape") << "Escape" << true;
  // The program sees no event of the click: the focus moves later than any time it knows.
  QTest::newRow("Enter, a click on a task bar") << "Return" << false;
}

// A window manager that focuses on click gives the keyboard to the dialog clicked behind a box,
// or chosen on a task bar; the box takes it back, so that Enter and Escape still close it.
void X11FocusTest::AClickBehindABoxLeavesTheKeysWithTheBox() {
  QFETCH(QString, key);
  QFETCH(bool, onTheDialog);
  ScriptedPrompts prompts;
  CFolderPatchDlg dialog(prompts);
  ShowWithTheKeyboard(dialog);

  QStringList seen;
  WhenModal([&](QWidget* box) {
    seen << Activation(box);
    if (onTheDialog) ClickAt(UncoveredCorner(dialog, *box));
    // What the window manager does with the click; the box takes the keyboard back, as the X
    // server sees it.
    Xdotool({"windowfocus", "--sync", QString::number(dialog.winId())});
    seen << (QTest::qWaitFor([&] { return XFocus() == box->winId(); }, kPatience)
                 ? "taken back"
                 : "not taken back");
    Xdotool({"key", key});
    seen << (QTest::qWaitFor([&] { return !box->isVisible(); }, kPatience) ? "closed by the key"
                                                                           : "left open");
    box->close();
  });
  DesktopPrompts().ShowMessage(&dialog, "Modify 1 file successful", PassMessage::Icon::kWarning);
  QCOMPARE(seen, QStringList({"active", "taken back", "closed by the key"}));
}

QTEST_MAIN(X11FocusTest)
#include "x11_focus_test.moc"
