#pragma once

#include <optional>

#include <QString>

class QCoreApplication;

// The program's command line: [--modify | --restore] [FOLDER], --help, --version, and Qt's own
// options.

// Reads it before the dialog's QApplication exists, which needs a display: --help, --help-all and
// --version are printed and end the program, and so does a usage error, in status 1, as Qt's
// parser ends it; for too many folders this returns that status. Where only a QApplication can
// tell (an option unknown here may be one of Qt's, which a QApplication takes out; --help-all
// lists them), one on the offscreen platform reads the command line first. Returns nothing for a
// command line that runs the dialog.
std::optional<int> AnswerWithoutDisplay(int argc, char** argv);

// What the command line asks of the dialog.
struct CommandLine {
  enum class Pass { kNone, kModify, kRestore };

  QString folder;           // for the Folder Path box, or empty
  Pass pass = Pass::kNone;  // to start once the dialog is up, as its button does
};

// Reads it once the QApplication has taken Qt's options out, and ends the program after help,
// the version or a usage error, as Qt's parser does.
CommandLine ReadCommandLine(const QCoreApplication& app);

// The name and version that --version, every message box's caption and the help show.
void NameTheApplication();
