#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

#include "platform/fault_injection.h"
#include "qt/folder_patch_dlg.h"
#include "tests/qt/scripted_prompts.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

constexpr std::uint8_t k3DFlags = 0x60;

QString Native(const fs::path& path) {
  return QString::fromStdString(path.string());
}

}  // namespace

// What the main dialog does with its controls, its buttons, its keys and its context menu.
class DialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void DataExchangeWorksBothWays();
  void BrowseFillsThePathAndKeepsTheOption();
  void BrowseCancelledChangesNothing();
  void ModifyRunsOnTheTypedPathWithTheOption();
  void RestoreUsesTheNewlyTypedPath();
  void EmptyPathIsAFolderPathError();
  void FileErrorShowsTheStopIcon();
  void EnterStartsModifyAndEscapeClosesWithoutAPass();
  void WindowStaysOpenWhileAPassRuns();
  void ContextMenuEndsWithAboutAndOpensTheAboutBox();
  void ShiftF10OpensTheSameMenu();

 private:
  std::unique_ptr<ScriptedPrompts> m_prompts;
  std::unique_ptr<CFolderPatchDlg> m_dialog;
  std::unique_ptr<TempTree> m_tree;

  QLineEdit* Path() { return m_dialog->findChild<QLineEdit*>("IDC_FOLDER_PATH"); }
  QCheckBox* Convert() { return m_dialog->findChild<QCheckBox*>("IDC_CONVERT_3D"); }
  QPushButton* Button(const char* name) { return m_dialog->findChild<QPushButton*>(name); }
  fs::path Index() const { return *m_tree / "Movie" / "BDMV" / "index.bdmv"; }
};

void DialogTest::init() {
  m_prompts = std::make_unique<ScriptedPrompts>();
  m_dialog = std::make_unique<CFolderPatchDlg>(*m_prompts);
  m_tree = std::make_unique<TempTree>();
  MakeBdmvFolder(*m_tree / "Movie", IndexBytes(90, k3DFlags));
  m_dialog->show();
  QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
}

void DialogTest::DataExchangeWorksBothWays() {
  QCOMPARE(Path()->text(), "");
  QCOMPARE(Convert()->checkState(), Qt::Unchecked);

  m_dialog->m_strFolderPath = "/mnt/nas/电影 1";
  m_dialog->m_bConvert3DTo2D = 1;
  m_dialog->UpdateData(false);
  QCOMPARE(Path()->text(), "/mnt/nas/电影 1");
  QCOMPARE(Convert()->checkState(), Qt::Checked);

  m_dialog->m_bConvert3DTo2D = 2;
  m_dialog->UpdateData(false);
  QCOMPARE(Convert()->checkState(), Qt::PartiallyChecked);
  m_dialog->UpdateData(true);
  QCOMPARE(m_dialog->m_bConvert3DTo2D, 2);

  m_dialog->m_bConvert3DTo2D = 7;  // out of range: reset, box cleared
  m_dialog->UpdateData(false);
  QCOMPARE(m_dialog->m_bConvert3DTo2D, 0);
  QCOMPARE(Convert()->checkState(), Qt::Unchecked);

  Path()->clear();
  QTest::keyClicks(Path(), "/media/usb");
  QTest::mouseClick(Convert(), Qt::LeftButton);
  m_dialog->UpdateData(true);
  QCOMPARE(m_dialog->m_strFolderPath, "/media/usb");
  QCOMPARE(m_dialog->m_bConvert3DTo2D, 1);
}

void DialogTest::BrowseFillsThePathAndKeepsTheOption() {
  Path()->setText("typed");
  Convert()->setChecked(true);
  m_prompts->folderAnswers = {"/srv/discs"};

  QTest::mouseClick(Button("IDC_BROWSE"), Qt::LeftButton);

  QCOMPARE(m_prompts->folderPrompts, QStringList{"Please select folder path"});
  QCOMPARE(m_prompts->folderOwners.at(0), m_dialog.get());
  QCOMPARE(Path()->text(), "/srv/discs");
  QCOMPARE(m_dialog->m_strFolderPath, "/srv/discs");
  QVERIFY(Convert()->isChecked());
  QVERIFY(m_prompts->shown.empty());
}

void DialogTest::BrowseCancelledChangesNothing() {
  Path()->setText("typed");
  QTest::mouseClick(Button("IDC_BROWSE"), Qt::LeftButton);

  QCOMPARE(m_prompts->Texts(), QStringList{"invalid floder,please choose floder again."});
  QCOMPARE(m_prompts->shown.at(0).icon, PassMessage::Icon::kWarning);
  QCOMPARE(m_prompts->shown.at(0).owner, m_dialog.get());
  QCOMPARE(Path()->text(), "typed");
  QCOMPARE(m_dialog->m_strFolderPath, "");
}

void DialogTest::ModifyRunsOnTheTypedPathWithTheOption() {
  const Bytes original = ReadBytes(Index());
  QTest::keyClicks(Path(), Native(m_tree->Root()));
  QTest::mouseClick(Convert(), Qt::LeftButton);

  QTest::mouseClick(Button("IDC_MODIFY"), Qt::LeftButton);

  QCOMPARE(m_prompts->Texts(), QStringList{"Modify 1 file successful"});
  QCOMPARE(m_prompts->shown.at(0).icon, PassMessage::Icon::kWarning);
  QCOMPARE(m_prompts->shown.at(0).owner, m_dialog.get());
  const Bytes patched = ReadBytes(Index());
  QCOMPARE(patched.size(), original.size() + 24);
  QCOMPARE(patched[44], 0x00);  // "Convert 3D to 2D" was ticked
  QCOMPARE(DescribeDifference(original, ReadBytes(Index().parent_path() / "BACKUP" / "index.bdmv")),
           "");
  QVERIFY(!QApplication::overrideCursor());
}

void DialogTest::RestoreUsesTheNewlyTypedPath() {
  const Bytes original = ReadBytes(Index());
  m_dialog->m_strFolderPath = Native(m_tree->Root());
  m_dialog->UpdateData(false);
  QTest::mouseClick(Button("IDC_MODIFY"), Qt::LeftButton);
  QVERIFY(ReadBytes(Index()) != original);

  // A second disc elsewhere, never modified: only the typed path's disc is restored.
  TempTree other;
  MakeBdmvFolder(other / "Movie", IndexBytes(60, 0));
  Path()->selectAll();
  QTest::keyClicks(Path(), Native(m_tree->Root() / "Movie"));
  QTest::mouseClick(Button("IDC_RESTORE"), Qt::LeftButton);

  QCOMPARE(m_prompts->Texts(),
           QStringList({"Modify 1 file successful", "Resume  1 files successful"}));
  QCOMPARE(DescribeDifference(original, ReadBytes(Index())), "");
}

void DialogTest::EmptyPathIsAFolderPathError() {
  QTest::mouseClick(Button("IDC_MODIFY"), Qt::LeftButton);
  QTest::mouseClick(Button("IDC_RESTORE"), Qt::LeftButton);

  QCOMPARE(m_prompts->Texts(), QStringList({"Floder Path ERR.", "Floder Path ERR."}));
  QCOMPARE(m_prompts->shown.at(1).icon, PassMessage::Icon::kWarning);
}

void DialogTest::FileErrorShowsTheStopIcon() {
  const Bytes original = ReadBytes(Index());
  SetReadOnly(Index().parent_path() / "MovieObject.bdmv", true);
  m_dialog->m_strFolderPath = Native(m_tree->Root());
  m_dialog->UpdateData(false);

  QTest::mouseClick(Button("IDC_MODIFY"), Qt::LeftButton);

  QCOMPARE(m_prompts->Texts(), QStringList{"对 一未命名文件 的存取被拒绝。"});
  QCOMPARE(m_prompts->shown.at(0).icon, PassMessage::Icon::kStop);
  QCOMPARE(DescribeDifference(original, ReadBytes(Index())), "");
  QVERIFY2(m_dialog->isVisible(), "the dialog stays open for another pass");
  QVERIFY(!QApplication::overrideCursor());
}

void DialogTest::EnterStartsModifyAndEscapeClosesWithoutAPass() {
  const Bytes original = ReadBytes(Index());
  Path()->setFocus();
  QTest::keyClicks(Path(), Native(m_tree->Root()));
  QTest::keyClick(Path(), Qt::Key_Return);
  QCOMPARE(m_prompts->Texts(), QStringList{"Modify 1 file successful"});

  // With Restore focused, Enter presses Restore.
  Button("IDC_RESTORE")->setFocus();
  QTest::keyClick(Button("IDC_RESTORE"), Qt::Key_Return);
  QCOMPARE(m_prompts->Texts().size(), 2);
  QCOMPARE(m_prompts->Texts().at(1), "Resume  1 files successful");
  QCOMPARE(DescribeDifference(original, ReadBytes(Index())), "");

  Path()->setFocus();
  QTest::keyClick(Path(), Qt::Key_Escape);
  QVERIFY(!m_dialog->isVisible());
  QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
  QCOMPARE(m_prompts->shown.size(), 2u);
  QCOMPARE(DescribeDifference(original, ReadBytes(Index())), "");
}

void DialogTest::WindowStaysOpenWhileAPassRuns() {
  m_dialog->m_strFolderPath = Native(m_tree->Root());
  m_dialog->UpdateData(false);
  bool closedMidPass = true;
  m_prompts->onMessage = [&](const ScriptedPrompts::Shown&) { closedMidPass = m_dialog->close(); };

  QTest::mouseClick(Button("IDC_MODIFY"), Qt::LeftButton);

  QVERIFY(!closedMidPass);
  QVERIFY(m_dialog->isVisible());
  QVERIFY2(m_dialog->close(), "after the pass the window closes as usual");
}

void DialogTest::ContextMenuEndsWithAboutAndOpensTheAboutBox() {
  QStringList menuTexts;
  QString aboutCaption, aboutText, aboutButton;
  bool aboutIconShown = false;
  bool centred = false;
  WhenPopup([&](QWidget* popup) {
    auto* menu = qobject_cast<QMenu*>(popup);
    QVERIFY(menu);
    QAction* about = nullptr;
    for (QAction* action : menu->actions()) {
      menuTexts.push_back(action->isSeparator() ? "-" : action->text());
      about = action;
    }
    WhenModal([&](QWidget* box) {
      aboutCaption = box->windowTitle();
      aboutText = box->findChild<QLabel*>("IDC_STATIC")->text();
      auto* ok = box->findChild<QPushButton*>("IDOK");
      aboutButton = ok->text() + (ok->isDefault() ? " default" : "");
      aboutIconShown = box->findChild<QLabel*>("IDI_MAIN")->pixmap().size() == QSize(32, 32);
      centred = (box->geometry().center() - m_dialog->geometry().center()).manhattanLength() <= 2;
      QTest::mouseClick(ok, Qt::LeftButton);
    });
    menu->activateWindow();
    QTest::keyClick(menu, Qt::Key_A);  // the access key
    QVERIFY(about);
  });
  QContextMenuEvent rightClick(QContextMenuEvent::Mouse, {20, 20},
                               m_dialog->mapToGlobal(QPoint(20, 20)));
  QApplication::sendEvent(m_dialog.get(), &rightClick);

  QCOMPARE(menuTexts.size(), 3);
  QCOMPARE(menuTexts.mid(1), QStringList({"-", "About Quorvel 2.0(&A)..."}));
  QCOMPARE(aboutCaption, "关于 quorvel");
  QCOMPARE(aboutText, "Quorvel 2.0 Ver");
  QCOMPARE(aboutButton, "确定 default");
  QVERIFY(aboutIconShown);
  QVERIFY(centred);
  QVERIFY(m_dialog->isVisible());
}

void DialogTest::ShiftF10OpensTheSameMenu() {
  QWidget* shown = nullptr;
  WhenPopup([&](QWidget* popup) {
    shown = popup;
    QTest::keyClick(popup, Qt::Key_Escape);
  });
  QTest::keyClick(Path(), Qt::Key_F10, Qt::ShiftModifier);

  QVERIFY(shown);
  QCOMPARE(shown->objectName(), "systemMenu");
  QVERIFY2(m_dialog->isVisible(), "Escape closed the menu, not the dialog");
}

QTEST_MAIN(DialogTest)
#include "dialog_test.moc"
