#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QtTest>

#include "pass/passes.h"
#include "qt/folder_patch_dlg.h"
#include "qt/qt_front_end.h"
#include "tests/qt/scripted_prompts.h"
#include "tests/support/temp_tree.h"

using namespace std::chrono_literals;
using namespace testing_support;

// How messages reach the user, and what the user sees while a pass runs.
class FrontEndTest : public QObject {
  Q_OBJECT

 private slots:
  void MessageBoxIsOkOnlyWithCaptionIconAndOwner_data();
  void MessageBoxIsOkOnlyWithCaptionIconAndOwner();
  void LongPassShowsProgressAndABusyCursorButNotOverItsBoxes();
  void ShortPassShowsNoProgressStrip();
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

  // The box is gone once ShowMessage returns: note what it showed while it was up.
  QStringList seen;
  WhenModal([&](QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      seen << box->windowTitle() << box->text() << QString::number(box->icon())
           << QString::number(box->standardButtons())
           << QString::number(box->windowModality() == Qt::WindowModal &&
                              box->parentWidget() == &owner);
    }
    modal->close();
  });
  DesktopPrompts().ShowMessage(&owner, text, icon);

  // The executable's name is the caption; OK is the only button; the box is modal to its owner.
  QCOMPARE(seen, QStringList({"front_end_test", text, QString::number(shown),
                              QString::number(QMessageBox::Ok), "1"}));
}

void FrontEndTest::LongPassShowsProgressAndABusyCursorButNotOverItsBoxes() {
  TempTree tree;
  // Visited: the root and 9 directories below it, the new BACKUP folders included.
  tree.MakeDirectories({"a/b", "c/BDMV"});  // c/BDMV has no index file: reported, not counted
  MakeBdmvFolder(tree / "a", IndexBytes(90, 0));
  MakeBdmvFolder(tree / "d", IndexBytes(90, 0));
  ScriptedPrompts prompts;
  CFolderPatchDlg owner(prompts);
  owner.show();
  QVERIFY(QTest::qWaitForWindowExposed(&owner));
  QStringList seen;
  prompts.onMessage = [&] {
    auto* strip = owner.findChild<QWidget*>("progressStrip");
    seen << (QApplication::overrideCursor() ? "busy" : "arrow");
    if (!strip || !strip->isVisible()) {
      seen << "no progress";
      return;
    }
    seen << strip->findChild<QLabel*>("directories")->text() + ", " +
                strip->findChild<QLabel*>("handled")->text();
    // The strip lies inside the dialog, in the band the controls leave free.
    QVERIFY(owner.rect().contains(strip->geometry()));
    for (QWidget* control : owner.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (control->property("controlId").isValid() && control->isVisible()) {
        QVERIFY2(!control->geometry().intersects(strip->geometry()),
                 qPrintable(control->objectName()));
      }
    }
  };
  {
    QtFrontEnd frontEnd(owner, prompts, 0ms);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    RunModifyPass(tree.Root().string(), 0, frontEnd);
    QVERIFY(QApplication::overrideCursor());
  }

  // The folder's message comes mid-pass, over the strip; the summary comes after it is gone.
  QCOMPARE(prompts.Texts().last(), "Modify 2 file successful");
  QCOMPARE(seen.size(), 4);
  QCOMPARE(seen.at(0), "arrow");
  QVERIFY2(seen.at(1).startsWith("Directories visited: "), qPrintable(seen.at(1)));
  QCOMPARE(seen.mid(2), QStringList({"arrow", "no progress"}));
  QVERIFY(!QApplication::overrideCursor());
  QVERIFY2(!owner.findChild<QWidget*>("progressStrip"), "the strip goes with the pass");
}

void FrontEndTest::ShortPassShowsNoProgressStrip() {
  TempTree tree;
  MakeBdmvFolder(tree / "a", IndexBytes(90, 0));
  QWidget owner;
  ScriptedPrompts prompts;
  bool progressShown = true;
  prompts.onMessage = [&] {
    progressShown = owner.findChild<QWidget*>("progressStrip") != nullptr;
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
