#include <cerrno>
#include <cstring>

#include <sys/stat.h>

#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "pass/passes.h"
#include "platform/fault_injection.h"
#include "qt/folder_patch_dlg.h"
#include "qt/qt_front_end.h"
#include "tests/qt/scripted_prompts.h"
#include "tests/support/hurried_clock.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// The Qt front end, with something done as each folder is handled.
class HookedFrontEnd : public QtFrontEnd {
 public:
  HookedFrontEnd(QWidget& owner, UserPrompts& prompts, std::function<void()> afterFolder)
      : QtFrontEnd(owner, prompts, HurriedClock()), m_afterFolder(std::move(afterFolder)) {}

  void FolderHandled(const std::string& path, const FolderOutcome& outcome) override {
    QtFrontEnd::FolderHandled(path, outcome);
    m_afterFolder();
  }

 private:
  std::function<void()> m_afterFolder;
};

QString Native(const fs::path& path) {
  return QString::fromStdString(path.string());
}

// The strip's text, its bar ("busy", or "K of M") and the full path of the disc at hand.
QStringList StripShows(const QWidget& strip) {
  const auto* bar = strip.findChild<QProgressBar*>("IDC_PROGRESS_BAR");
  return {strip.findChild<QLabel*>("IDC_PROGRESS_TEXT")->text(),
          bar->maximum() == 0 ? "busy" : QString("%1 of %2").arg(bar->value()).arg(bar->maximum()),
          strip.findChild<QLabel*>("IDC_PROGRESS_CURRENT")->toolTip()};
}

}  // namespace

// How messages reach the user, and what the user sees while a pass runs.
class FrontEndTest : public QObject {
  Q_OBJECT

 private slots:
  void MessageBoxIsOkOnlyWithCaptionIconAndOwner_data();
  void MessageBoxIsOkOnlyWithCaptionIconAndOwner();
  void LongPassShowsProgressAndABusyCursorButNotOverItsBoxes();
  void TheStripShowsTheSearchThenTheDiscAtHand();
  void TheCursorOverCancelIsNotBusy();
  void CancelStopsThePassAfterTheFolderAtHand();
  void SummaryDetailsListEachFolderAndEachUnreadableOne();
  void AFileErrorsBoxKeepsItsTextAndGivesTheSystemsCauseInItsDetails();
};

void FrontEndTest::MessageBoxIsOkOnlyWithCaptionIconAndOwner_data() {
  QTest::addColumn<PassMessage::Icon>("icon");
  QTest::addColumn<QMessageBox::Icon>("shown");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("details");
  QTest::newRow("warning") << PassMessage::Icon::kWarning << QMessageBox::Warning
                           << "invalid floder,please choose floder again."
                           << "";
  QTest::newRow("stop") << PassMessage::Icon::kStop << QMessageBox::Critical
                        << "在存取 /media/盘/BDMV/index.bdmv 时磁盘已满。"
                        << "";
  QTest::newRow("summary with details")
      << PassMessage::Icon::kWarning << QMessageBox::Warning << "Modify 1 file successful"
      << "/m/a/BDMV: patched\n/m/b: cannot read this folder (Permission denied)";
}

void FrontEndTest::MessageBoxIsOkOnlyWithCaptionIconAndOwner() {
  QFETCH(PassMessage::Icon, icon);
  QFETCH(QMessageBox::Icon, shown);
  QFETCH(QString, text);
  QFETCH(QString, details);
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
                              box->parentWidget() == &owner)
           << box->detailedText();
    }
    modal->close();
  });
  DesktopPrompts().ShowMessage(&owner, text, icon, details);

  // The executable's name is the caption; OK is the only button; the box is modal to its owner.
  QCOMPARE(seen, QStringList({"front_end_test", text, QString::number(shown),
                              QString::number(QMessageBox::Ok), "1", details}));
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
    auto* strip = owner.findChild<QWidget*>("IDD_PROGRESS_STRIP");
    seen << (QApplication::overrideCursor() ? "busy" : "arrow");
    if (!strip || !strip->isVisible()) {
      seen << "no progress";
      return;
    }
    seen << StripShows(*strip).join(", ");
    // The strip lies inside the dialog, in the band the controls leave free.
    QVERIFY(owner.rect().contains(strip->geometry()));
    for (QWidget* control : owner.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (control != strip && control->property("controlId").isValid() && control->isVisible()) {
        QVERIFY2(!control->geometry().intersects(strip->geometry()),
                 qPrintable(control->objectName()));
      }
    }
  };
  {
    QtFrontEnd frontEnd(owner, prompts, HurriedClock());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    RunModifyPass(tree.Root().string(), 0, frontEnd);
    QVERIFY(QApplication::overrideCursor());
  }

  // The folder's message comes mid-pass, over the strip; the summary comes after it is gone.
  QCOMPARE(prompts.Texts().last(), "Modify 2 file successful");
  QCOMPARE(seen.size(), 4);
  QCOMPARE(seen.at(0), "arrow");
  // The disc's number is its place in the order the disk lists the root in.
  const QRegularExpression disc("^Disc ([123]) of 3, \\1 of 3, " +
                                QRegularExpression::escape(Native(tree / "c/BDMV")) + "$");
  QVERIFY2(disc.match(seen.at(1)).hasMatch(), qPrintable(seen.at(1)));
  QCOMPARE(seen.mid(2), QStringList({"arrow", "no progress"}));
  QVERIFY(!QApplication::overrideCursor());
  QVERIFY2(!owner.findChild<QWidget*>("IDD_PROGRESS_STRIP"), "the strip goes with the pass");
}

// While the pass looks for discs the bar is busy; then it counts the discs found, up to the one at
// hand, which the line below names.
void FrontEndTest::TheStripShowsTheSearchThenTheDiscAtHand() {
  ScriptedPrompts prompts;
  CFolderPatchDlg owner(prompts);
  const auto strip = [&] { return StripShows(*owner.findChild<QWidget*>("IDD_PROGRESS_STRIP")); };
  {
    QtFrontEnd frontEnd(owner, prompts, HurriedClock());
    frontEnd.Searching(1234, 5);
    QCOMPARE(strip(), QStringList({"Looking for discs: 1234 directories, 5 found", "busy", ""}));
    frontEnd.DiscsFound(5);
    QCOMPARE(strip(), QStringList({"Disc 0 of 5", "0 of 5", ""}));
    frontEnd.FolderStarted("/m/c/BDMV");
    QCOMPARE(strip(), QStringList({"Disc 1 of 5", "1 of 5", "/m/c/BDMV"}));
    frontEnd.FolderHandled("/m/c/BDMV", {FolderOutcome::Kind::kPatched, {}});
    frontEnd.FolderStarted("/m/e/BDMV");
    QCOMPARE(strip(), QStringList({"Disc 2 of 5", "2 of 5", "/m/e/BDMV"}));
  }
  // None found: an empty bar, not a busy one.
  QtFrontEnd frontEnd(owner, prompts, HurriedClock());
  frontEnd.DiscsFound(0);
  QCOMPARE(strip(), QStringList({"Disc 0 of 0", "0 of 1", ""}));
}

// The button that stops the pass answers at once: the pointer over it is the ordinary arrow.
void FrontEndTest::TheCursorOverCancelIsNotBusy() {
  TempTree tree;
  MakeBdmvFolder(tree / "a", IndexBytes(90, 0));
  ScriptedPrompts prompts;
  CFolderPatchDlg owner(prompts);
  owner.show();
  QVERIFY(QTest::qWaitForWindowExposed(&owner));
  QStringList shapes;
  const auto shape = [] { return QString::number(QApplication::overrideCursor()->shape()); };
  {
    HookedFrontEnd frontEnd(owner, prompts, [&] {
      auto* cancel = owner.findChild<QPushButton*>("IDC_CANCEL_PASS");
      QVERIFY(cancel);
      QWindow* window = owner.windowHandle();
      QTest::mouseMove(window, QPoint(2, 2));  // the pointer comes from elsewhere in the dialog
      QTest::mouseMove(window, cancel->mapTo(&owner, cancel->rect().center()));
      shapes << shape();
      QTest::mouseMove(window, QPoint(2, 2));
      shapes << shape();
      QTest::mouseMove(window, cancel->mapTo(&owner, cancel->rect().center()));
    });
    RunModifyPass(tree.Root().string(), 0, frontEnd);
    shapes << shape();  // the strip is gone with the summary
  }
  QCOMPARE(shapes, QStringList({QString::number(Qt::ArrowCursor), QString::number(Qt::WaitCursor),
                                QString::number(Qt::WaitCursor)}));
}

void FrontEndTest::CancelStopsThePassAfterTheFolderAtHand() {
  TempTree tree;
  const Bytes original = IndexBytes(90, 0);
  constexpr int kDiscs = 5;
  for (int i = 0; i < kDiscs; ++i) MakeBdmvFolder(tree / ("disc" + std::to_string(i)), original);
  ScriptedPrompts prompts;
  CFolderPatchDlg owner(prompts);
  owner.show();
  QVERIFY(QTest::qWaitForWindowExposed(&owner));
  QString caption;
  bool enabledAfterClick = true;
  {
    HookedFrontEnd frontEnd(owner, prompts, [&] {
      auto* cancel = owner.findChild<QPushButton*>("IDC_CANCEL_PASS");
      if (!cancel || !caption.isEmpty()) return;
      caption = cancel->text();
      QTest::mouseClick(cancel, Qt::LeftButton);
      enabledAfterClick = cancel->isEnabled();
    });
    QVERIFY(!frontEnd.CancelRequested());
    RunModifyPass(tree.Root().string(), 0, frontEnd);
    QVERIFY(frontEnd.CancelRequested());
  }
  QCOMPARE(caption, "Cancel");
  QVERIFY(!enabledAfterClick);

  // One disc was done when Cancel was clicked; the pass went no further, and the summary says so
  // below the summary's own text.
  const QString stopped = "Stopped after 1 of 5 discs.";
  QCOMPARE(prompts.Texts(), QStringList{"Modify 1 file successful\n" + stopped});
  QStringList untouched;
  QString patched;
  for (int i = 0; i < kDiscs; ++i) {
    const fs::path bdmv = tree / ("disc" + std::to_string(i)) / "BDMV";
    if (DescribeDifference(original, ReadBytes(bdmv / "index.bdmv")).empty() &&
        !fs::exists(bdmv / "BACKUP")) {
      untouched << Native(bdmv);
    } else {
      patched = Native(bdmv);
    }
  }
  QCOMPARE(untouched.size(), kDiscs - 1);
  QCOMPARE(prompts.shown.back().details, stopped + "\n" + patched + ": patched");
}

void FrontEndTest::SummaryDetailsListEachFolderAndEachUnreadableOne() {
  TempTree tree;
  MakeBdmvFolder(tree.Root(), IndexBytes(90, 0));
  MakeBdmvFolder(tree / "done", PatchedBytes(IndexBytes(90, 0), false));
  tree.MakeDirectories({"broken/BDMV", "gone"});
  QWidget owner;
  ScriptedPrompts prompts;
  // "gone" cannot be listed, as a folder the user may not read.
  struct stat gone {};
  QCOMPARE(stat((tree / "gone").c_str(), &gone), 0);
  platform::SetListingFaultHook([&](const platform::FileIdentity& directory) {
    return directory == platform::FileIdentity{gone.st_dev, gone.st_ino} ? EACCES : 0;
  });
  {
    QtFrontEnd frontEnd(owner, prompts, HurriedClock());
    RunModifyPass(tree.Root().string(), 0, frontEnd);
  }
  platform::SetListingFaultHook(nullptr);
  QCOMPARE(prompts.shown.size(), 2u);
  const QString brokenMessage = prompts.shown.front().text;
  QStringList lines = prompts.shown.back().details.split('\n');
  lines.sort();
  QStringList expected = {Native(tree / "BDMV") + ": patched",
                          Native(tree / "done/BDMV") + ": already patched",
                          Native(tree / "broken/BDMV") + ": " + brokenMessage,
                          Native(tree / "gone") + ": cannot read this folder (" +
                              QString::fromStdString(std::strerror(EACCES)) + ")"};
  expected.sort();
  QCOMPARE(lines, expected);

  prompts.shown.clear();
  {
    QtFrontEnd frontEnd(owner, prompts);
    RunRestorePass(tree.Root().string(), frontEnd);
  }
  QVERIFY(prompts.shown.back().details.split('\n').contains(Native(tree / "BDMV") + ": restored"));

  // Nothing found, nothing to list: the summary has no details part.
  TempTree empty;
  {
    QtFrontEnd frontEnd(owner, prompts);
    RunModifyPass(empty.Root().string(), 0, frontEnd);
  }
  QCOMPARE(prompts.shown.back().text, "Modify 0 file successful");
  QCOMPARE(prompts.shown.back().details, "");
}

// The failure comes from the system call's result: the movie-object file's time cannot be set.
void FrontEndTest::AFileErrorsBoxKeepsItsTextAndGivesTheSystemsCauseInItsDetails() {
  TempTree tree;
  MakeBdmvFolder(tree / "a", IndexBytes(90, 0));
  ScriptedPrompts prompts;
  CFolderPatchDlg dialog(prompts);
  dialog.SetFolderPath(Native(tree.Root()));
  platform::SetFaultHook(
      [](platform::IoStep step) { return step == platform::IoStep::kTime ? EIO : 0; });
  dialog.findChild<QPushButton*>("IDC_MODIFY")->click();
  platform::SetFaultHook(nullptr);

  QCOMPARE(prompts.shown.size(), 1u);
  QCOMPARE(prompts.shown.front().text, "在存取 一未命名文件 时一个硬件输入/输出错误被报告。");
  QCOMPARE(prompts.shown.front().icon, PassMessage::Icon::kStop);
  QCOMPARE(prompts.shown.front().details, "Folder: " + Native(tree / "a/BDMV") + "\n" +
                                              QString::fromStdString(std::strerror(EIO)));
}

QTEST_MAIN(FrontEndTest)
#include "front_end_test.moc"
