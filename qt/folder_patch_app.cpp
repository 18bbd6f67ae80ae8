#include "qt/folder_patch_app.h"

#include <QCommandLineParser>

#include "platform/stop_signals.h"
#include "qt/default_button_style.h"
#include "qt/folder_patch_dlg.h"
#include "qt/quorvel_icon.h"
#include "qt/user_prompts.h"
#include "quorvel_version.h"

CFolderPatchApp::CFolderPatchApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(ExecutableName());
  setApplicationVersion(QUORVEL_VERSION_STRING);
  // Wayland finds the window's icon through the installed desktop file.
  setDesktopFileName("quorvel");
  setWindowIcon(QuorvelIcon());
  setStyle(new DefaultButtonStyle(style()->name()));
}

bool CFolderPatchApp::InitInstance() {
  // A folder on the command line ("Open with", a shortcut) fills the path as Browse would.
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Backs up and patches the index files of the Blu-ray disc folders below a folder.");
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument("FOLDER", "The folder to put in the dialog's Folder Path box.",
                               "[FOLDER]");
  parser.process(*this);

  DesktopPrompts prompts;
  CFolderPatchDlg dialog(prompts);
  if (!parser.positionalArguments().isEmpty()) {
    dialog.SetFolderPath(parser.positionalArguments().front());
  }
  dialog.exec();
  return false;
}

int CFolderPatchApp::ExitStatus() const {
  const int signal = platform::StopSignal();
  return signal == 0 ? 0 : platform::ExitStatusAfter(signal);
}
