#pragma once

// Ids of the dialogs, controls, strings and commands, as the Windows program numbers them.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDM_ABOUTBOX = 0x0010;
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_MAIN = 102;
inline constexpr int IDI_MAIN = 131;
inline constexpr int IDC_MODIFY = 1000;
inline constexpr int IDC_RESTORE = 1001;
inline constexpr int IDC_HINT = 1002;
inline constexpr int IDC_PATH_LABEL = 1003;
inline constexpr int IDC_FOLDER_PATH = 1004;
inline constexpr int IDC_BROWSE = 1005;
inline constexpr int IDC_3D_NOTE = 1007;
inline constexpr int IDC_CONVERT_3D = 1010;
