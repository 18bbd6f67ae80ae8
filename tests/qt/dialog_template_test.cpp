#include <span>

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "qt/about_box.h"
#include "qt/dialog_units.h"
#include "qt/folder_patch_dlg.h"
#include "qt/progress_strip.h"
#include "qt/resource.h"
#include "qt/template_dialog.h"
#include "tests/qt/scripted_prompts.h"

// Both dialogs and the progress strip as built from the templates written out of the Windows
// resource script: every control, in order, with its id, kind, text and place; the strings and
// ids the code uses.
class DialogTemplateTest : public QObject {
  Q_OBJECT

 private slots:
  void MainDialogHasTheWindowsControlsInOrder();
  void AboutBoxHasTheWindowsControlsInOrder();
  void ProgressStripHasTheWindowsControlsInOrder();
  void StringTableAndCommandIds();
};

namespace {

struct ExpectedControl {
  const char* name;
  int id;
  const char* kind;
  const char* text;
  DluRect place;
};

// The dialog first (its caption and client size), then its controls.
constexpr ExpectedControl kMainDialog[] = {
    {"IDD_MAIN", 102, "dialog", "Quorvel 2.0", {0, 0, 320, 200}},
    {"IDC_MODIFY", 1000, "default button", "Modify", {73, 127, 50, 14}},
    {"IDC_RESTORE", 1001, "button", "Restore", {166, 128, 50, 14}},
    {"IDC_HINT", 1002, "text", "Choose BD Folder Path (support whole HDD)", {70, 25, 200, 8}},
    {"IDC_PATH_LABEL", 1003, "text", "Folder Path:", {18, 43, 53, 11}},
    {"IDC_FOLDER_PATH", 1004, "edit", "", {69, 42, 150, 14}},
    {"IDC_BROWSE", 1005, "button", "Browse", {234, 42, 50, 14}},
    {"IDC_3D_NOTE",
     1007,
     "centred text",
     "(3D content is not supported. Please tick \"Convert 3D to 2D\" \n"
     "for successful modification. )",
     {7, 105, 306, 18}},
    {"IDC_CONVERT_3D", 1010, "check box", "Convert 3D to 2D", {70, 61, 80, 10}},
    {"IDC_DISC_IMAGES", 1018, "check box", "Disc images too (.iso)", {70, 76, 100, 10}},
};

// The icon control is known by its image's id; Windows sizes it to the 32-pixel icon.
constexpr ExpectedControl kAboutBox[] = {
    {"IDD_ABOUTBOX", 100, "dialog", "关于 quorvel", {0, 0, 235, 55}},
    {"IDI_MAIN", 131, "icon", "", {11, 17, 20, 20}},
    {"IDC_STATIC", -1, "text", "Quorvel 2.0 Ver", {40, 10, 119, 8}},
    {"IDOK", 1, "default button", "确定", {178, 7, 50, 14}},
};

// The panel first (its place in the main dialog), then its controls, at their places in it, as a
// pass starts: looking for discs, none yet.
constexpr ExpectedControl kProgressStrip[] = {
    {"IDD_PROGRESS_STRIP", 103, "panel", "", {7, 150, 306, 44}},
    {"IDC_STATIC", -1, "rule", "", {0, 0, 306, 1}},
    {"IDC_PROGRESS_TEXT",
     1019,
     "text",
     "Looking for discs: 0 directories, 0 found",
     {0, 5, 252, 10}},
    {"IDC_PROGRESS_BAR", 1020, "progress bar", "", {0, 16, 252, 9}},
    {"IDC_PROGRESS_CURRENT", 1013, "text", "", {0, 28, 252, 10}},
    {"IDC_CANCEL_PASS", 1014, "button", "Cancel", {256, 13, 50, 14}},
};

QString KindOf(const QWidget& widget) {
  if (auto* button = qobject_cast<const QPushButton*>(&widget)) {
    return button->isDefault() ? "default button" : "button";
  }
  if (auto* label = qobject_cast<const QLabel*>(&widget)) {
    if (!label->pixmap().isNull()) return "icon";
    return label->alignment() & Qt::AlignHCenter ? "centred text" : "text";
  }
  if (auto* frame = qobject_cast<const QFrame*>(&widget)) {
    if (frame->frameShape() == QFrame::HLine) return "rule";
  }
  if (qobject_cast<const QLineEdit*>(&widget)) return "edit";
  if (qobject_cast<const QCheckBox*>(&widget)) return "check box";
  if (qobject_cast<const QProgressBar*>(&widget)) return "progress bar";
  return widget.metaObject()->className();
}

QString Describe(const QString& name, int id, const QString& kind, const QString& text,
                 const QRect& pixels) {
  return QString("%1 %2 %3 \"%4\" at %5,%6 %7x%8")
      .arg(name)
      .arg(id)
      .arg(kind, text)
      .arg(pixels.x())
      .arg(pixels.y())
      .arg(pixels.width())
      .arg(pixels.height());
}

// The dialog itself (or a panel, at its place in its dialog), then its own controls in the order
// they were made, which is the tab order.
QStringList DescribeBuilt(const QWidget& window, const QString& kind) {
  const QRect place = window.isWindow() ? QRect(QPoint(), window.size()) : window.geometry();
  QStringList lines = {Describe(window.objectName(), window.property(kControlIdProperty).toInt(),
                                kind, window.windowTitle(), place)};
  for (QWidget* widget : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const QVariant id = widget->property(kControlIdProperty);
    if (!id.isValid()) continue;
    lines << Describe(widget->objectName(), id.toInt(), KindOf(*widget),
                      widget->property("text").toString(), widget->geometry());
  }
  return lines;
}

QStringList DescribeExpected(const QFont& font, std::span<const ExpectedControl> table) {
  const DialogUnits units(font);
  QStringList lines;
  for (const ExpectedControl& control : table) {
    QRect pixels = units.ToPixels(control.place);
    if (QString(control.kind) == "icon") pixels.setSize({32, 32});
    lines << Describe(control.name, control.id, control.kind, QString::fromUtf8(control.text),
                      pixels);
  }
  return lines;
}

}  // namespace

void DialogTemplateTest::MainDialogHasTheWindowsControlsInOrder() {
  ScriptedPrompts prompts;
  CFolderPatchDlg dialog(prompts);
  QCOMPARE(DescribeBuilt(dialog, "dialog"), DescribeExpected(dialog.font(), kMainDialog));
}

void DialogTemplateTest::AboutBoxHasTheWindowsControlsInOrder() {
  CAboutBox box(nullptr);
  QCOMPARE(DescribeBuilt(box, "dialog"), DescribeExpected(box.font(), kAboutBox));
}

void DialogTemplateTest::ProgressStripHasTheWindowsControlsInOrder() {
  ScriptedPrompts prompts;
  CFolderPatchDlg dialog(prompts);
  const ProgressStrip strip(dialog, [] {});
  QCOMPARE(DescribeBuilt(strip, "panel"), DescribeExpected(dialog.font(), kProgressStrip));
}

void DialogTemplateTest::StringTableAndCommandIds() {
  QCOMPARE(ResourceString(IDS_ABOUTBOX), "About Quorvel 2.0(&A)...");
  QCOMPARE(ResourceString(IDD_MAIN), "");  // no such string: the menu would go without it
  // The system keeps the low four bits of a system-menu command; the dialog manager's commands.
  QCOMPARE(IDM_ABOUTBOX, 0x10);
  QCOMPARE(IDOK, 1);
  QCOMPARE(IDCANCEL, 2);
}

QTEST_MAIN(DialogTemplateTest)
#include "dialog_template_test.moc"
