#pragma once

#include <QApplication>

// The application: one per process; its life is the main dialog's.
class CFolderPatchApp : public QApplication {
 public:
  CFolderPatchApp(int& argc, char** argv);

  // Runs the main dialog until it closes. Returns false: there is nothing to run after it.
  bool InitInstance();
};
