#pragma once

#include "app/win_app.h"

// Quorvel's application: its start-up shows the main dialog, and the program ends with it.
class CFolderPatchApp : public CWinApp {
 public:
  BOOL InitInstance() override;
};
