#include "qt/command_line.h"

#include <cstdio>
#include <cstdlib>

#include <QCommandLineParser>
#include <QCoreApplication>

#include "qt/user_prompts.h"
#include "quorvel_version.h"

namespace {

void Describe(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      "Backs up and patches the index files of the Blu-ray disc folders below a folder.");
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(
      "FOLDER", "The folder, or disc image, to put in the dialog's Folder Path box.", "[FOLDER]");
}

// A second folder would be dropped unseen: say what the program takes instead, on stderr as
// Qt's parser reports an unknown option.
bool TooManyFolders(const QCommandLineParser& parser) {
  const qsizetype count = parser.positionalArguments().size();
  if (count <= 1) return false;
  const QString usage = parser.helpText().section('\n', 0, 0);
  std::fputs(qPrintable(QCoreApplication::applicationName() + ": one FOLDER at most, not " +
                        QString::number(count) + " arguments\n" + usage + '\n'),
             stderr);
  return true;
}

}  // namespace

std::optional<int> AnswerWithoutDisplay(int argc, char** argv) {
  QCoreApplication core(argc, argv);
  NameTheApplication();
  QCommandLineParser parser;
  Describe(parser);
  if (!parser.parse(core.arguments()) || parser.isSet("help-all")) return std::nullopt;
  if (parser.isSet("help")) parser.showHelp();
  if (parser.isSet("version")) parser.showVersion();
  if (TooManyFolders(parser)) return EXIT_FAILURE;
  return std::nullopt;
}

QString FolderFromCommandLine(const QCoreApplication& app) {
  QCommandLineParser parser;
  Describe(parser);
  parser.process(app);
  if (TooManyFolders(parser)) std::exit(EXIT_FAILURE);
  return parser.positionalArguments().value(0);
}

void NameTheApplication() {
  QCoreApplication::setApplicationName(ExecutableName());
  QCoreApplication::setApplicationVersion(QUORVEL_VERSION_STRING);
}
