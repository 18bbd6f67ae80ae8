#pragma once

#include <QApplication>

// The application: one per process; its life is the main dialog's.
class CFolderPatchApp : public QApplication {
 public:
  CFolderPatchApp(int& argc, char** argv);

  // Runs the main dialog until it closes. Returns false: there is nothing to run after it.
  bool InitInstance();

  // The program's exit status once the dialog has closed: 0, or after a signal that stopped a
  // pass (the session ending), 128 and the signal's number, as if the signal had ended it.
  int ExitStatus() const;
};
