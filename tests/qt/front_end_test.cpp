#include <cerrno>

#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "pass/pass_guard.h"
#include "pass/passes.h"
#include "qt/progress_window.h"
#include "qt/qt_front_end.h"
#include "tests/qt/scripted_prompts.h"
#include "tests/support/temp_tree.h"

using namespace std::chrono_literals;
using namespace testing_support;

// How a pass's messages reach the user, and what the user sees while a pass runs.
class FrontEndTest : public QObject {
  Q_OBJECT

 private slots:
  void MessageBoxIsOkOnlyWithCaptionIconAndOwner_data();
  void MessageBoxIsOkOnlyWithCaptionIconAndOwner();
  void PassMessagesKeepTheirTextAndIcon();
  void BusyCursorDuringThePassButNotOverItsBoxes();
  void ProgressWindowCountsTheWalk();
  void ShortPassShowsNoProgressWindow();
};

void FrontEndTest::MessageBoxIsOkOnlyWithCaptionIconAndOwner_data() {
  QTest::addColumn<PassMessage::Icon>("icon");
  QTest::addColumn<QMessageBox::Icon>("shown");
  QTest::addColumn<QString>("text");
  QTest::newRow("warning") << PassMessage::Icon::kWarning << QMessageBox::Warning
                           << "invalid floder,please choose floder again.";
  QTest::newRow("stop") << PassMessage::Icon::kStop << QMessageBox::Critical
                        << "在存取 /media/盘/BDMV/index.bdmv 时磁盘已满。";
}

void FrontEndTest::MessageBoxIsOkOnlyWithCaptionIconAndOwner() {
  QFETCH(PassMessage::Icon, icon);
  QFETCH(QMessageBox::Icon, shown);
  QFETCH(QString, text);
  QDialog owner;
  owner.show();
  QVERIFY(QTest::qWaitForWindowExposed(&owner));

  QString caption, boxText;
  QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
  QList<QAbstractButton*> buttons;
  Qt::WindowModality modality = Qt::NonModal;
  QWidget* parent = nullptr;
  WhenModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    QVERIFY(box);
    caption = box->windowTitle();
    boxText = box->text();
    boxIcon = box->icon();
    buttons = box->buttons();
    modality = box->windowModality();
    parent = box->parentWidget();
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
  });
  DesktopPrompts().ShowMessage(&owner, text, icon);

  // The executable's name is the caption: this test's own.
  QCOMPARE(caption, "front_end_test");
  QCOMPARE(boxText, text);
  QCOMPARE(boxIcon, shown);
  QCOMPARE(buttons.size(), 1);
  QCOMPARE(modality, Qt::WindowModal);
  QCOMPARE(parent, &owner);
}

void FrontEndTest::PassMessagesKeepTheirTextAndIcon() {
  QWidget owner;
  ScriptedPrompts prompts;
  {
    QtFrontEnd frontEnd(owner, prompts);
    frontEnd.ShowMessage(
        {PassMessage::Kind::kFolder, PassMessage::Icon::kWarning, "Memory Leak", "/d/BDMV"});
    RunGuarded(frontEnd, [] { throw std::bad_alloc(); });
    RunGuarded(frontEnd,
               [] { throw FileError(FileErrorCause::kDiskFull, "/媒体/index.bdmv", ENOSPC); });
  }
  QCOMPARE(prompts.Texts(),
           QStringList({"Memory Leak", "内存不足。", "在存取 /媒体/index.bdmv 时磁盘已满。"}));
  QCOMPARE(prompts.shown.at(1).icon, PassMessage::Icon::kWarning);
  QCOMPARE(prompts.shown.at(2).icon, PassMessage::Icon::kStop);
  QCOMPARE(prompts.shown.at(2).owner, &owner);
}

void FrontEndTest::BusyCursorDuringThePassButNotOverItsBoxes() {
  QWidget owner;
  ScriptedPrompts prompts;
  bool arrowOverBox = false;
  prompts.onMessage = [&](const ScriptedPrompts::Shown&) {
    arrowOverBox = QApplication::overrideCursor() == nullptr;
  };
  {
    QtFrontEnd frontEnd(owner, prompts);
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    frontEnd.ShowMessage({PassMessage::Kind::kSummary, PassMessage::Icon::kWarning, "x", {}});
    QVERIFY(arrowOverBox);
    QVERIFY(QApplication::overrideCursor());
  }
  QVERIFY(!QApplication::overrideCursor());
}

void FrontEndTest::ProgressWindowCountsTheWalk() {
  TempTree tree;
  // The root and the 9 directories below it are visited, the new BACKUP folders included.
  tree.MakeDirectories({"a/b", "c/BDMV"});  // c/BDMV has no index file: reported, not counted
  MakeBdmvFolder(tree / "a", IndexBytes(90, 0));
  MakeBdmvFolder(tree / "d", IndexBytes(90, 0));
  QDialog owner;
  owner.show();
  QVERIFY(QTest::qWaitForWindowExposed(&owner));
  ScriptedPrompts prompts;
  QStringList progressAtMessages;
  prompts.onMessage = [&](const ScriptedPrompts::Shown&) {
    auto* window = owner.findChild<ProgressWindow*>();
    if (!window || !window->isVisible()) return progressAtMessages.push_back("none");
    progressAtMessages.push_back(window->findChild<QLabel*>("directories")->text() + " | " +
                                 window->findChild<QLabel*>("handled")->text());
  };

  {
    QtFrontEnd frontEnd(owner, prompts, 0ms);
    RunModifyPass(tree.Root().string(), 0, frontEnd);
  }

  QCOMPARE(prompts.Texts().last(), "Modify 2 file successful");
  QCOMPARE(progressAtMessages.last(), "Directories visited: 10 | BDMV folders handled: 2");
  QVERIFY2(!owner.findChild<ProgressWindow*>(), "the window goes with the pass");
}

void FrontEndTest::ShortPassShowsNoProgressWindow() {
  TempTree tree;
  MakeBdmvFolder(tree / "a", IndexBytes(90, 0));
  QWidget owner;
  ScriptedPrompts prompts;
  bool progressShown = true;
  prompts.onMessage = [&](const ScriptedPrompts::Shown&) {
    progressShown = owner.findChild<ProgressWindow*>() != nullptr;
  };
  {
    QtFrontEnd frontEnd(owner, prompts);
    RunModifyPass(tree.Root().string(), 0, frontEnd);
  }
  QCOMPARE(prompts.Texts(), QStringList{"Modify 1 file successful"});
  QVERIFY(!progressShown);
}

QTEST_MAIN(FrontEndTest)
#include "front_end_test.moc"
