#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRawFont>
#include <QtTest>

#include "qt/dialog_template.h"
#include "qt/dialog_units.h"
#include "qt/folder_or_image_chooser.h"
#include "qt/folder_patch_dlg.h"
#include "tests/qt/scripted_prompts.h"
#include "tests/support/temp_tree.h"
#include "tests/support/udf_image.h"

namespace fs = std::filesystem;
using namespace testing_support;

// The main dialog: its template, its data, its buttons, its keys and its context menu.
class DialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void ControlsMatchTheTemplate_data();
  void ControlsMatchTheTemplate();
  void FixedSizeTabOrderFontAndIcon();
  void DiscImagesBoxStartsUntickedBelowTheOptionOverNoControl();
  void DataExchangeAndBrowse();
  void TheImageChooserTakesAFolderOrAnImage_data();
  void TheImageChooserTakesAFolderOrAnImage();
  void PassesRunOnTheTypedPath();
  void ModifyReachesAnImageBelowTheFolderOnlyWithTheBoxTicked();
  void EscapeClosesWithoutAPassButInputDuringOneComesToNothing();
  void EscapeOrCloseDuringAPassCancelsItBetweenFolders_data();
  void EscapeOrCloseDuringAPassCancelsItBetweenFolders();
  void AClickDuringAPassLeavesTheFocusWhereItWas();
  void ContextMenuEndsWithAboutWhichOpensTheAboutBox();
  void AltSpaceOpensTheMenuAndOnlyPlainSpacePresses();
  void DroppedFolderOrFileFillsThePathAndKeepsTheOption_data();
  void DroppedFolderOrFileFillsThePathAndKeepsTheOption();

 private:
  std::unique_ptr<ScriptedPrompts> m_prompts;
  std::unique_ptr<CFolderPatchDlg> m_dialog;
  std::unique_ptr<TempTree> m_tree;

  template <typename T = QPushButton>
  T* Control(const char* name) {
    return m_dialog->findChild<T*>(name);
  }
  fs::path Index() const { return *m_tree / "Movie" / "BDMV" / "index.bdmv"; }
};

void DialogTest::init() {
  m_prompts = std::make_unique<ScriptedPrompts>();
  m_dialog = std::make_unique<CFolderPatchDlg>(*m_prompts);
  m_tree = std::make_unique<TempTree>();
  MakeBdmvFolder(*m_tree / "Movie", IndexBytes(90, 0x60));
  m_dialog->show();
  QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
}

void DialogTest::ControlsMatchTheTemplate_data() {
  QTest::addColumn<int>("id");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QRect>("dialogUnits");
  QTest::newRow("IDC_MODIFY") << 1000 << "Modify" << QRect(73, 127, 50, 14);
  QTest::newRow("IDC_RESTORE") << 1001 << "Restore" << QRect(166, 128, 50, 14);
  QTest::newRow("IDC_HINT") << 1002 << "Choose BD Folder Path (support whole HDD)"
                            << QRect(70, 25, 200, 8);
  QTest::newRow("IDC_PATH_LABEL") << 1003 << "Folder Path:" << QRect(18, 43, 53, 11);
  QTest::newRow("IDC_FOLDER_PATH") << 1004 << "" << QRect(69, 42, 150, 14);
  QTest::newRow("IDC_BROWSE") << 1005 << "Browse" << QRect(234, 42, 50, 14);
  QTest::newRow("IDC_3D_NOTE") << 1007
                               << "(3D content is not supported. Please tick \"Convert 3D to 2D\" "
                                  "\nfor successful modification. )"
                               << QRect(7, 105, 306, 18);
  QTest::newRow("IDC_CONVERT_3D") << 1010 << "Convert 3D to 2D" << QRect(70, 61, 80, 10);
  QTest::newRow("IDC_DISC_IMAGES") << 1018 << "Disc images too (.iso)" << QRect(70, 76, 100, 10);
}

void DialogTest::ControlsMatchTheTemplate() {
  QFETCH(int, id);
  QFETCH(QString, text);
  QFETCH(QRect, dialogUnits);
  auto* control = Control<QWidget>(QTest::currentDataTag());
  QVERIFY(control);
  QCOMPARE(control->property("controlId").toInt(), id);
  QCOMPARE(control->property("text").toString(), text);

  // Each coordinate is scaled on its own and rounded, as Windows lays out a template.
  const DialogUnits units(m_dialog->font());
  auto scale = [](int value, int base, int divisor) {
    return static_cast<int>(std::lround(value * base / static_cast<double>(divisor)));
  };
  QCOMPARE(control->geometry(),
           QRect(scale(dialogUnits.x(), units.BaseX(), 4), scale(dialogUnits.y(), units.BaseY(), 8),
                 scale(dialogUnits.width(), units.BaseX(), 4),
                 scale(dialogUnits.height(), units.BaseY(), 8)));

  // The caption fits with the font actually used (no clipped or wrapped words).
  const QFontMetrics metrics(m_dialog->font());
  const int margin = qobject_cast<QCheckBox*>(control) ? 20 : 0;
  for (const QString& line : text.split('\n')) {
    QVERIFY2(metrics.horizontalAdvance(line) + margin <= control->width(), qPrintable(line));
  }
}

void DialogTest::FixedSizeTabOrderFontAndIcon() {
  QCOMPARE(m_dialog->windowTitle(), "Quorvel 2.0");
  QCOMPARE(m_dialog->size(), DialogUnits(m_dialog->font()).ToPixels(320, 200));
  QCOMPARE(m_dialog->minimumSize(), m_dialog->maximumSize());
  QVERIFY(Control("IDC_MODIFY")->isDefault());

  QStringList order;
  for (int i = 0; i < 7; ++i) {
    order.push_back(QApplication::focusWidget()->objectName());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  QCOMPARE(order, QStringList({"IDC_MODIFY", "IDC_RESTORE", "IDC_FOLDER_PATH", "IDC_BROWSE",
                               "IDC_CONVERT_3D", "IDC_DISC_IMAGES", "IDC_MODIFY"}));

  const QRawFont font = QRawFont::fromFont(m_dialog->font());
  for (const QChar c : QString("关于确定内存不足对的存取被拒绝Modify")) {
    QVERIFY2(font.supportsCharacter(c), qPrintable(font.familyName() + " lacks " + c));
  }
  const QList<QSize> sizes = m_dialog->windowIcon().availableSizes();
  QVERIFY(sizes.contains(QSize(32, 32)) && sizes.contains(QSize(256, 256)));
}

// The box was added in the room below "Convert 3D to 2D": the controls of the dialog's template
// and the band the progress strip takes keep theirs.
void DialogTest::DiscImagesBoxStartsUntickedBelowTheOptionOverNoControl() {
  auto* images = Control<QCheckBox>("IDC_DISC_IMAGES");
  QVERIFY(!images->isChecked());
  QCOMPARE(m_dialog->m_bDiscImages, 0);
  QVERIFY(images->geometry().top() > Control<QWidget>("IDC_CONVERT_3D")->geometry().bottom());
  QVERIFY(m_dialog->rect().contains(images->geometry()));
  QCOMPARE(images->text().count('&'), 0);  // no control of the dialog's template has an access key
  const QRect strip = DialogUnits(m_dialog->font()).ToPixels(kProgressStripTemplate.rect);
  QVERIFY(!images->geometry().intersects(strip));
  for (QWidget* other : m_dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (other == images || !other->property("controlId").isValid()) continue;
    QVERIFY2(!images->geometry().intersects(other->geometry()), qPrintable(other->objectName()));
  }
}

void DialogTest::DataExchangeAndBrowse() {
  m_dialog->m_strFolderPath = "/mnt/nas/电影 1";
  m_dialog->m_bConvert3DTo2D = 1;
  m_dialog->m_bDiscImages = 1;
  m_dialog->UpdateData(false);
  QCOMPARE(Control<QLineEdit>("IDC_FOLDER_PATH")->text(), "/mnt/nas/电影 1");
  QCOMPARE(Control<QCheckBox>("IDC_CONVERT_3D")->checkState(), Qt::Checked);
  QCOMPARE(Control<QCheckBox>("IDC_DISC_IMAGES")->checkState(), Qt::Checked);
  QTest::mouseClick(Control<QCheckBox>("IDC_DISC_IMAGES"), Qt::LeftButton);
  m_dialog->UpdateData(true);
  QCOMPARE(m_dialog->m_bDiscImages, 0);
  m_dialog->m_bConvert3DTo2D = 7;  // out of range: reset and cleared
  m_dialog->UpdateData(false);
  QCOMPARE(Control<QCheckBox>("IDC_CONVERT_3D")->checkState(), Qt::Unchecked);

  QTest::keyClicks(Control<QLineEdit>("IDC_FOLDER_PATH"), "/x");
  QTest::mouseClick(Control<QCheckBox>("IDC_CONVERT_3D"), Qt::LeftButton);
  m_dialog->UpdateData(true);
  QCOMPARE(m_dialog->m_strFolderPath, "/mnt/nas/电影 1/x");
  QCOMPARE(m_dialog->m_bConvert3DTo2D, 1);

  QTest::mouseClick(Control("IDC_BROWSE"), Qt::LeftButton);  // cancelled
  QCOMPARE(m_prompts->Texts(), QStringList{"invalid floder,please choose floder again."});
  QCOMPARE(m_prompts->shown.at(0).owner, m_dialog.get());
  QCOMPARE(Control<QLineEdit>("IDC_FOLDER_PATH")->text(), "/mnt/nas/电影 1/x");

  m_prompts->folderAnswers = {"/srv/discs"};
  QTest::mouseClick(Control("IDC_BROWSE"), Qt::LeftButton);
  QCOMPARE(m_prompts->folderPrompts.last(), "Please select folder path");
  QCOMPARE(Control<QLineEdit>("IDC_FOLDER_PATH")->text(), "/srv/discs");
  QVERIFY2(Control<QCheckBox>("IDC_CONVERT_3D")->isChecked(), "Browse keeps the option");

  // Ticked, disc images are offered as well as folders.
  QTest::mouseClick(Control<QCheckBox>("IDC_DISC_IMAGES"), Qt::LeftButton);
  m_prompts->folderAnswers = {"/srv/discs/film.iso"};
  QTest::mouseClick(Control("IDC_BROWSE"), Qt::LeftButton);
  QCOMPARE(Control<QLineEdit>("IDC_FOLDER_PATH")->text(), "/srv/discs/film.iso");
  QVERIFY(Control<QCheckBox>("IDC_DISC_IMAGES")->isChecked());
  using Choice = UserPrompts::Choice;
  QCOMPARE(m_prompts->folderChoices,
           std::vector<Choice>({Choice::kFolder, Choice::kFolder, Choice::kFolderOrImage}));
  QCOMPARE(m_prompts->shown.size(), 1u);
}

// Qt's own chooser, as Browse shows it with disc images ticked: a folder is chosen, not opened,
// and an image is chosen too.
void DialogTest::TheImageChooserTakesAFolderOrAnImage_data() {
  QTest::addColumn<QString>("selected");
  QTest::newRow("folder") << "Movie";
  QTest::newRow("image") << "film.ISO";
}

void DialogTest::TheImageChooserTakesAFolderOrAnImage() {
  QFETCH(QString, selected);
  WriteBytes(*m_tree / "film.ISO", {});
  const QString path = QString::fromStdString((*m_tree / selected.toStdString()).string());
  FolderOrImageChooser chooser(m_dialog.get(), "Please select folder path",
                               QString::fromStdString(m_tree->Root().string()));
  chooser.selectFile(path);
  static_cast<QDialog&>(chooser).accept();  // as the accept button does
  QCOMPARE(chooser.result(), int(QDialog::Accepted));
  QCOMPARE(chooser.ChosenPath(), path);
  QCOMPARE(chooser.windowTitle(), "Please select folder path");
}

void DialogTest::PassesRunOnTheTypedPath() {
  const Bytes original = ReadBytes(Index());
  auto* path = Control<QLineEdit>("IDC_FOLDER_PATH");
  QTest::mouseClick(Control<QCheckBox>("IDC_CONVERT_3D"), Qt::LeftButton);
  QTest::keyClicks(path, QString::fromStdString(m_tree->Root().string()));
  QTest::keyClick(path, Qt::Key_Return);  // Enter presses Modify, the default button
  const Bytes patched = ReadBytes(Index());
  QCOMPARE(patched.size(), original.size() + 24);
  QCOMPARE(patched[44], 0x00);  // 3D flags cleared
  QCOMPARE(DescribeDifference(original, ReadBytes(Index().parent_path() / "BACKUP/index.bdmv")),
           "");

  path->setText(QString::fromStdString((*m_tree / "Movie").string()));  // typed, not browsed
  QTest::mouseClick(Control("IDC_RESTORE"), Qt::LeftButton);
  QCOMPARE(DescribeDifference(original, ReadBytes(Index())), "");

  path->clear();
  QTest::mouseClick(Control("IDC_MODIFY"), Qt::LeftButton);
  SetReadOnly(Index().parent_path() / "MovieObject.bdmv", true);
  path->setText(QString::fromStdString(m_tree->Root().string()));
  QTest::mouseClick(Control("IDC_MODIFY"), Qt::LeftButton);

  QCOMPARE(m_prompts->Texts(),
           QStringList({"Modify 1 file successful", "Resume  1 files successful",
                        "Floder Path ERR.", "对 一未命名文件 的存取被拒绝。"}));
  QCOMPARE(m_prompts->shown.at(2).icon, PassMessage::Icon::kWarning);
  QCOMPARE(m_prompts->shown.at(3).icon, PassMessage::Icon::kStop);
  QCOMPARE(DescribeDifference(original, ReadBytes(Index())), "");
  QVERIFY(!QApplication::overrideCursor());
}

// A walk takes the image below the folder only with the box ticked; a path naming the image is a
// pass over it either way.
void DialogTest::ModifyReachesAnImageBelowTheFolderOnlyWithTheBoxTicked() {
  TempTree tree;
  const fs::path image = tree / "discs" / "film.iso";
  fs::create_directories(image.parent_path());
  testimage::WriteImage(image, testimage::DiscFiles(0x60), {});
  const Bytes original = ReadBytes(image);
  m_dialog->SetFolderPath(QString::fromStdString(tree.Root().string()));

  QTest::mouseClick(Control("IDC_MODIFY"), Qt::LeftButton);
  QCOMPARE(DescribeDifference(original, ReadBytes(image)), "");
  QTest::mouseClick(Control<QCheckBox>("IDC_DISC_IMAGES"), Qt::LeftButton);
  QTest::mouseClick(Control("IDC_MODIFY"), Qt::LeftButton);
  const Bytes patched = ReadBytes(image);
  QCOMPARE(patched.size(), original.size());
  QVERIFY(DescribeDifference(original, patched) != "");
  QVERIFY(fs::exists(image.parent_path() / "film.iso.quorvel"));
  QTest::mouseClick(Control("IDC_RESTORE"), Qt::LeftButton);
  QCOMPARE(DescribeDifference(original, ReadBytes(image)), "");

  QTest::mouseClick(Control<QCheckBox>("IDC_DISC_IMAGES"), Qt::LeftButton);
  m_dialog->SetFolderPath(QString::fromStdString(image.string()));
  QTest::mouseClick(Control("IDC_MODIFY"), Qt::LeftButton);
  QVERIFY(DescribeDifference(original, ReadBytes(image)) != "");
  QCOMPARE(m_prompts->Texts(),
           QStringList({"Modify 0 file successful", "Modify 1 file successful",
                        "Resume  1 files successful", "Modify 1 file successful"}));
  QCOMPARE(m_prompts->shown.at(1).details, QString::fromStdString(image.string()) + ": patched");
}

void DialogTest::EscapeClosesWithoutAPassButInputDuringOneComesToNothing() {
  m_dialog->m_strFolderPath = QString::fromStdString(m_tree->Root().string());
  m_dialog->UpdateData(false);
  bool closedMidPass = true;
  m_prompts->onMessage = [&] {
    auto* path = Control<QLineEdit>("IDC_FOLDER_PATH");
    QTest::keyClicks(path, "x");
    QTest::keyClick(path, Qt::Key_Escape);
    QMimeData folder;
    folder.setUrls({QUrl::fromLocalFile(QString::fromStdString((*m_tree / "Movie").string()))});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &folder, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_dialog.get(), &drop);
    closedMidPass = m_dialog->close();
  };
  QTest::mouseClick(Control("IDC_MODIFY"), Qt::LeftButton);
  QVERIFY(!closedMidPass);
  QVERIFY(m_dialog->isVisible());
  QCOMPARE(Control<QLineEdit>("IDC_FOLDER_PATH")->text(), m_dialog->m_strFolderPath);

  const Bytes patched = ReadBytes(Index());
  QTest::keyClick(Control<QLineEdit>("IDC_FOLDER_PATH"), Qt::Key_Escape);
  QVERIFY(!m_dialog->isVisible());
  QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
  QCOMPARE(m_prompts->shown.size(), 1u);
  QCOMPARE(DescribeDifference(patched, ReadBytes(Index())), "");
}

void DialogTest::EscapeOrCloseDuringAPassCancelsItBetweenFolders_data() {
  QTest::addColumn<bool>("close");
  QTest::newRow("Escape") << false;
  QTest::newRow("close") << true;
}

void DialogTest::EscapeOrCloseDuringAPassCancelsItBetweenFolders() {
  QFETCH(bool, close);
  // The root's own BDMV comes first, then x's, which has no index file and so shows a message
  // mid-pass; the discs below x come after it.
  TempTree tree;
  MakeBdmvFolder(tree.Root(), IndexBytes(90, 0));
  tree.MakeDirectories({"x/BDMV"});
  const Bytes original = IndexBytes(90, 0);
  for (int i = 0; i < 5; ++i) MakeBdmvFolder(tree / ("x/y" + std::to_string(i)), original);
  m_dialog->SetFolderPath(QString::fromStdString(tree.Root().string()));
  bool closed = true;
  m_prompts->onMessage = [&] {
    if (close) {
      closed = m_dialog->close();
    } else {
      QTest::keyClick(Control<QLineEdit>("IDC_FOLDER_PATH"), Qt::Key_Escape);
    }
  };
  QTest::mouseClick(Control("IDC_MODIFY"), Qt::LeftButton);

  QVERIFY(m_dialog->isVisible());
  if (close) QVERIFY(!closed);
  QCOMPARE(m_prompts->shown.size(), 2u);
  // The summary's own text comes first; its second line, and the details' first, tell the stop:
  // x's was the second of the seven discs.
  const QStringList summary = m_prompts->shown.back().text.split('\n');
  QCOMPARE(summary, QStringList({"Modify 1 file successful", "Stopped after 2 of 7 discs."}));
  const QString folderMessage = m_prompts->shown.front().text;
  QCOMPARE(m_prompts->shown.front().details, "");  // a folder's own box has no details
  QCOMPARE(m_prompts->shown.back().details,
           summary.back() + "\n" + QString::fromStdString((tree / "BDMV").string()) +
               ": patched\n" + QString::fromStdString((tree / "x/BDMV").string()) + ": " +
               folderMessage);
  for (int i = 0; i < 5; ++i) {
    const fs::path bdmv = tree / ("x/y" + std::to_string(i)) / "BDMV";
    QCOMPARE(DescribeDifference(original, ReadBytes(bdmv / "index.bdmv")), "");
    QVERIFY2(!fs::exists(bdmv / "BACKUP"), qPrintable(QString::fromStdString(bdmv.string())));
  }
}

// A click reaches the window before the control under it: Qt would give that control the focus
// even though the click itself is dropped.
void DialogTest::AClickDuringAPassLeavesTheFocusWhereItWas() {
  m_dialog->SetFolderPath(QString::fromStdString(m_tree->Root().string()));
  m_dialog->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
  auto* modify = Control("IDC_MODIFY");
  modify->setFocus();
  auto* path = Control<QLineEdit>("IDC_FOLDER_PATH");
  m_tree->MakeDirectories({"broken/BDMV"});  // its message comes mid-pass
  QWidget* focusMidPass = nullptr;
  m_prompts->onMessage = [&] {
    if (focusMidPass) return;
    QTest::mouseClick(m_dialog->windowHandle(), Qt::LeftButton, {},
                      path->mapTo(m_dialog.get(), path->rect().center()));
    focusMidPass = QApplication::focusWidget();
  };
  modify->click();
  QCOMPARE(m_prompts->shown.size(), 2u);
  QCOMPARE(focusMidPass, static_cast<QWidget*>(modify));
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(modify));
  QCOMPARE(path->text(), m_dialog->m_strFolderPath);
}

void DialogTest::ContextMenuEndsWithAboutWhichOpensTheAboutBox() {
  QStringList shown;
  WhenPopup([&](QWidget* menu) {
    for (QAction* action : menu->actions()) shown.push_back(action->text());
    WhenModal([&](QWidget* box) {
      auto* ok = box->findChild<QPushButton*>("IDOK");
      const bool centred =
          (box->geometry().center() - m_dialog->geometry().center()).manhattanLength() <= 2;
      shown << box->windowTitle() << box->findChild<QLabel*>("IDC_STATIC")->text()
            << ok->text() + (ok->isDefault() ? " (default)" : "")
            << (box->findChild<QLabel*>("IDI_MAIN")->pixmap().size() == QSize(32, 32) ? "icon"
                                                                                      : "no icon")
            << (centred ? "centred" : "not centred");
      QTest::mouseClick(ok, Qt::LeftButton);
    });
    QTest::keyClick(menu, Qt::Key_A);  // the access key
  });
  QTest::keyClick(Control<QLineEdit>("IDC_FOLDER_PATH"), Qt::Key_F10, Qt::ShiftModifier);

  QCOMPARE(shown.mid(1), QStringList({"", "About Quorvel 2.0(&A)...", "关于 quorvel",
                                      "Quorvel 2.0 Ver", "确定 (default)", "icon", "centred"}));
  QVERIFY(m_dialog->isVisible());
}

void DialogTest::AltSpaceOpensTheMenuAndOnlyPlainSpacePresses() {
  const Bytes original = ReadBytes(Index());
  m_dialog->SetFolderPath(QString::fromStdString(m_tree->Root().string()));
  auto* modify = Control("IDC_MODIFY");
  QStringList menus;
  for (const Qt::KeyboardModifiers modifiers :
       {Qt::AltModifier, Qt::ControlModifier, Qt::ShiftModifier, Qt::MetaModifier}) {
    for (QWidget* focus : {static_cast<QWidget*>(modify), Control<QWidget>("IDC_CONVERT_3D")}) {
      focus->setFocus();
      if (modifiers == Qt::AltModifier) {
        WhenPopup([&](QWidget* menu) {
          menus << menu->objectName();
          menu->close();
        });
      }
      QTest::keyClick(focus, Qt::Key_Space, modifiers);
    }
  }
  QCOMPARE(menus, QStringList({"systemMenu", "systemMenu"}));
  QCOMPARE(DescribeDifference(original, ReadBytes(Index())), "");
  QVERIFY(m_prompts->shown.empty());
  QVERIFY(!Control<QCheckBox>("IDC_CONVERT_3D")->isChecked());

  modify->setFocus();
  QTest::keyClick(modify, Qt::Key_Space);
  QCOMPARE(m_prompts->Texts(), QStringList{"Modify 1 file successful"});
}

void DialogTest::DroppedFolderOrFileFillsThePathAndKeepsTheOption_data() {
  QTest::addColumn<QString>("target");
  QTest::addColumn<QString>("dropped");  // relative to the tree, or a URL as it stands
  QTest::addColumn<bool>("taken");
  QTest::newRow("folder on the dialog") << "IDD_MAIN"
                                        << "Movie" << true;
  QTest::newRow("folder on the edit box") << "IDC_FOLDER_PATH"
                                          << "Movie" << true;
  QTest::newRow("a file, for an image") << "IDD_MAIN"
                                        << "Movie/BDMV/index.bdmv" << true;
  QTest::newRow("nothing there") << "IDD_MAIN"
                                 << "Movie/film.iso" << false;
  QTest::newRow("two folders") << "IDD_MAIN"
                               << "Movie Movie/BDMV" << false;
  QTest::newRow("not local") << "IDD_MAIN"
                             << "sftp://host/discs" << false;
}

void DialogTest::DroppedFolderOrFileFillsThePathAndKeepsTheOption() {
  QFETCH(QString, target);
  QFETCH(QString, dropped);
  QFETCH(bool, taken);
  QList<QUrl> urls;
  for (const QString& item : dropped.split(' ')) {
    urls << (item.contains(':') ? QUrl(item)
                                : QUrl::fromLocalFile(QString::fromStdString(
                                      (*m_tree / item.toStdString()).string())));
  }
  QMimeData data;
  data.setUrls(urls);
  data.setText(urls.front().toString());  // as file managers do: the edit box would take it

  QTest::mouseClick(Control<QCheckBox>("IDC_CONVERT_3D"), Qt::LeftButton);
  m_dialog->SetFolderPath("/typed");

  QWidget* widget = target == "IDD_MAIN" ? m_dialog.get() : Control<QWidget>(qPrintable(target));
  const QPoint centre = widget->rect().center();
  QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &enter);
  QCOMPARE(enter.isAccepted(), taken);
  if (taken) {
    QDropEvent drop(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
  }

  QCOMPARE(Control<QLineEdit>("IDC_FOLDER_PATH")->text(),
           taken ? urls.front().toLocalFile() : "/typed");
  QVERIFY2(Control<QCheckBox>("IDC_CONVERT_3D")->isChecked(), "a drop keeps the option");
  QVERIFY(m_prompts->shown.empty());
}

QTEST_MAIN(DialogTest)
#include "dialog_test.moc"
