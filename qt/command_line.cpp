#include "qt/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QApplication>
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
  parser.addOption({"modify", "Start a Modify pass over FOLDER once the dialog opens."});
  parser.addOption({"restore", "Start a Restore pass over FOLDER once the dialog opens."});
}

// What the dialog cannot do as asked: a second folder would be dropped unseen, and one pass
// starts at a time.
QString Misuse(const QCommandLineParser& parser) {
  const qsizetype count = parser.positionalArguments().size();
  if (count > 1) return "one FOLDER at most, not " + QString::number(count) + " arguments";
  if (parser.isSet("modify") && parser.isSet("restore")) return "--modify or --restore, not both";
  return {};
}

// Says what the program takes instead, on stderr as Qt's parser reports an unknown option.
bool ReportMisuse(const QCommandLineParser& parser) {
  const QString misuse = Misuse(parser);
  if (misuse.isEmpty()) return false;
  const QString usage = parser.helpText().section('\n', 0, 0);
  std::fputs(qPrintable(QCoreApplication::applicationName() + ": " + misuse + '\n' + usage + '\n'),
             stderr);
  return true;
}

// Reads the command line as the dialog's QApplication will, on the offscreen platform, which needs
// no display: Qt's options are taken out of a copy of it, and help (--help-all with Qt's
// options) or a usage error ends the program as Qt's parser does.
void ReadWithQtsOptions(int argc, char** argv) {
  std::vector<std::string> arguments(argv, argv + argc);
  // Qt takes the last -platform given.
  arguments.insert(arguments.end(), {"-platform", "offscreen"});
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  int count = static_cast<int>(arguments.size());
  // What this application would warn of (no runtime directory, say) is the dialog's to tell.
  const QtMessageHandler handler =
      qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  {
    QApplication app(count, pointers.data());
    NameTheApplication();
    ReadCommandLine(app);
  }
  qInstallMessageHandler(handler);
}

}  // namespace

std::optional<int> AnswerWithoutDisplay(int argc, char** argv) {
  {
    QCoreApplication core(argc, argv);
    NameTheApplication();
    QCommandLineParser parser;
    Describe(parser);
    if (parser.parse(core.arguments()) && !parser.isSet("help-all")) {
      if (parser.isSet("help")) parser.showHelp();
      if (parser.isSet("version")) parser.showVersion();
      if (ReportMisuse(parser)) return EXIT_FAILURE;
      return std::nullopt;
    }
  }
  // An option unknown here may be one of Qt's, which a QApplication takes out, and --help-all
  // lists them.
  ReadWithQtsOptions(argc, argv);
  return std::nullopt;
}

CommandLine ReadCommandLine(const QCoreApplication& app) {
  QCommandLineParser parser;
  Describe(parser);
  parser.process(app);
  if (ReportMisuse(parser)) std::exit(EXIT_FAILURE);
  CommandLine line{.folder = parser.positionalArguments().value(0)};
  if (parser.isSet("modify")) line.pass = CommandLine::Pass::kModify;
  if (parser.isSet("restore")) line.pass = CommandLine::Pass::kRestore;
  return line;
}

void NameTheApplication() {
  QCoreApplication::setApplicationName(ExecutableName());
  QCoreApplication::setApplicationVersion(QUORVEL_VERSION_STRING);
}
