#include "qt/dialog_template.h"

#include "qt/resource.h"

namespace {

using Kind = ControlTemplate::Kind;

constexpr ControlTemplate kMainControls[] = {
    {IDC_MODIFY, "IDC_MODIFY", Kind::kDefPushButton, "Modify", {73, 127, 50, 14}},
    {IDC_RESTORE, "IDC_RESTORE", Kind::kPushButton, "Restore", {166, 128, 50, 14}},
    {IDC_HINT,
     "IDC_HINT",
     Kind::kLeftText,
     "Choose BD Folder Path (support whole HDD)",
     {70, 25, 200, 8}},
    {IDC_PATH_LABEL, "IDC_PATH_LABEL", Kind::kLeftText, "Folder Path:", {18, 43, 53, 11}},
    {IDC_FOLDER_PATH, "IDC_FOLDER_PATH", Kind::kEdit, "", {69, 42, 150, 14}},
    {IDC_BROWSE, "IDC_BROWSE", Kind::kPushButton, "Browse", {234, 42, 50, 14}},
    {IDC_3D_NOTE,
     "IDC_3D_NOTE",
     Kind::kCenteredText,
     "(3D content is not supported. Please tick \"Convert 3D to 2D\" \n"
     "for successful modification. )",
     {7, 105, 306, 18}},
    {IDC_CONVERT_3D, "IDC_CONVERT_3D", Kind::kAutoCheckBox, "Convert 3D to 2D", {70, 61, 80, 10}},
};

constexpr ControlTemplate kAboutControls[] = {
    {IDI_MAIN, "IDI_MAIN", Kind::kIcon, "", {11, 17, 20, 20}},
    {-1, "IDC_STATIC", Kind::kLeftText, "Quorvel 2.0 Ver", {40, 10, 119, 8}},
    {IDOK, "IDOK", Kind::kDefPushButton, "确定", {178, 7, 50, 14}},
};

}  // namespace

const DialogTemplate kMainDialogTemplate = {IDD_MAIN, "IDD_MAIN", "Quorvel 2.0",
                                            320,      200,        kMainControls};

const DialogTemplate kAboutBoxTemplate = {IDD_ABOUTBOX, "IDD_ABOUTBOX", "关于 quorvel", 235,
                                          55,           kAboutControls};

const DluRect kProgressStripRect = {7, 150, 306, 44};
