#include <QProcess>
#include <QtTest>

#include "quorvel_version.h"

// The installed program's command line where there is no display (a terminal over ssh, a
// script): help, the version and a usage error are answered without one, and no dialog starts.
class CommandLineTest : public QObject {
  Q_OBJECT

 private slots:
  void AnsweredWithoutADisplay_data();
  void AnsweredWithoutADisplay();
};

void CommandLineTest::AnsweredWithoutADisplay_data() {
  const QString usage = QStringLiteral(QUORVEL_APP_PATH) + " [options] [FOLDER]\n";
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<int>("exitCode");
  QTest::addColumn<QString>("out");  // what stdout begins with
  QTest::addColumn<QString>("err");
  const QString version = "quorvel " QUORVEL_VERSION_STRING "\n";
  QTest::newRow("--help") << QStringList{"--help"} << 0 << "Usage: " + usage << "";
  QTest::newRow("-h and a folder") << QStringList{"-h", "/m"} << 0 << "Usage: " + usage << "";
  QTest::newRow("--version") << QStringList{"--version"} << 0 << version << "";
  QTest::newRow("-v") << QStringList{"-v"} << 0 << version << "";
  QTest::newRow("two folders") << QStringList{"a", "b"} << 1 << ""
                               << "quorvel: one FOLDER at most, not 2 arguments\nUsage: " + usage;
  QTest::newRow("three folders") << QStringList{"/m", "b c", "d"} << 1 << ""
                                 << "quorvel: one FOLDER at most, not 3 arguments\nUsage: " + usage;
  QTest::newRow("--modify and --restore")
      << QStringList{"--modify", "--restore", "/m"} << 1 << ""
      << "quorvel: --modify or --restore, not both\nUsage: " + usage;
  QTest::newRow("an unknown option") << QStringList{"--bogus"} << 1 << ""
                                     << "quorvel: Unknown option 'bogus'.\n";
  QTest::newRow("--help-all") << QStringList{"--help-all"} << 0 << "Usage: " + usage << "";
  QTest::newRow("two folders after Qt's option and its value")
      << QStringList{"-style", "Fusion", "a", "b"} << 1 << ""
      << "quorvel: one FOLDER at most, not 2 arguments\nUsage: " + usage;
}

void CommandLineTest::AnsweredWithoutADisplay() {
  QFETCH(QStringList, arguments);
  QFETCH(int, exitCode);
  QFETCH(QString, out);
  QFETCH(QString, err);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    environment.remove(name);
  QProcess program;
  program.setProcessEnvironment(environment);
  program.start(QUORVEL_APP_PATH, arguments);
  QVERIFY(program.waitForFinished(10000));
  const QString shown = QString::fromUtf8(program.readAllStandardOutput());
  QCOMPARE(program.exitStatus(), QProcess::NormalExit);
  QCOMPARE(program.exitCode(), exitCode);
  QCOMPARE(shown.left(out.size()), out);
  QCOMPARE(shown.isEmpty(), out.isEmpty());
  if (arguments.contains("--help-all")) QVERIFY2(shown.contains("-platform"), "Qt's options");
  QCOMPARE(QString::fromUtf8(program.readAllStandardError()), err);
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "command_line_test.moc"
