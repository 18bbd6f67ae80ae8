#pragma once

#include "app/dialog.h"

// The About box: its template only, closed by its OK button, Escape or the close button.
class CAboutBox : public CDialog {
 public:
  explicit CAboutBox(HWND parent);
};
