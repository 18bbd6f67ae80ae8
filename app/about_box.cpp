#include "app/about_box.h"

#include "resource.h"

CAboutBox::CAboutBox(HWND parent) : CDialog(IDD_ABOUTBOX, parent) {}
