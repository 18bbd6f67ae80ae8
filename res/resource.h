#pragma once

// Resource ids of quorvel.exe, shared by the resource script and the code.

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MAIN 102
#define IDD_PROGRESS_STRIP 103
#define IDD_DETAILS_BOX 104
#define IDI_MAIN 131

#define IDC_MODIFY 1000
#define IDC_RESTORE 1001
#define IDC_HINT 1002
#define IDC_PATH_LABEL 1003
#define IDC_FOLDER_PATH 1004
#define IDC_BROWSE 1005
#define IDC_3D_NOTE 1007
#define IDC_CONVERT_3D 1010

#define IDC_PROGRESS_CURRENT 1013
#define IDC_CANCEL_PASS 1014
#define IDC_BOX_ICON 1015
#define IDC_BOX_TEXT 1016
#define IDC_BOX_DETAILS 1017
#define IDC_DISC_IMAGES 1018
#define IDC_PROGRESS_TEXT 1019
#define IDC_PROGRESS_BAR 1020

// A system-menu command: the system keeps the low four bits of such ids for itself.
#define IDM_ABOUTBOX 0x0010
