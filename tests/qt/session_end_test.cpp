#include <signal.h>

#include <QProcess>
#include <QtTest>

#include "tests/support/disc_row.h"

using namespace testing_support;

// The installed program as the session ends: SIGTERM from the session's manager, SIGHUP from
// the terminal it was started from. On a real X server, the pass started with a key made by
// xdotool, as a user's.
class SessionEndTest : public QObject {
  Q_OBJECT

 private slots:
  void ASignalMidPassFinishesTheFolderInHandAndEndsTheProgram_data();
  void ASignalMidPassFinishesTheFolderInHandAndEndsTheProgram();
};

namespace {

QString Xdotool(const QStringList& arguments) {
  QProcess xdotool;
  xdotool.start("xdotool", arguments);
  xdotool.waitForFinished(10000);
  return QString::fromUtf8(xdotool.readAllStandardOutput()).trimmed();
}

}  // namespace

void SessionEndTest::ASignalMidPassFinishesTheFolderInHandAndEndsTheProgram_data() {
  QTest::addColumn<int>("signal");
  QTest::addColumn<bool>("pass");
  QTest::addColumn<int>("exitCode");  // -1: the signal ended the program
  QTest::newRow("SIGTERM mid-pass") << int(SIGTERM) << true << 143;
  QTest::newRow("SIGHUP mid-pass") << int(SIGHUP) << true << 129;
  QTest::newRow("SIGTERM without a pass") << int(SIGTERM) << false << -1;
}

void SessionEndTest::ASignalMidPassFinishesTheFolderInHandAndEndsTheProgram() {
  QFETCH(int, signal);
  QFETCH(bool, pass);
  QFETCH(int, exitCode);
  TempTree tree;
  constexpr int kDiscs = 200;
  const DiscRow discs(tree.Root(), kDiscs, IndexBytes(64, 0x60));
  discs.Make();

  QProcess program;
  program.start(QUORVEL_APP_PATH, {QString::fromStdString(tree.Root().string())});
  QVERIFY(program.waitForStarted());
  const QString window =
      Xdotool({"search", "--sync", "--onlyvisible", "--pid", QString::number(program.processId())})
          .section('\n', 0, 0);
  QVERIFY(!window.isEmpty());
  if (pass) {
    // Modify has the focus when the dialog opens; no window manager gives the window the keys.
    Xdotool({"windowfocus", "--sync", window});
    Xdotool({"key", "space"});
    // Once a backup exists the pass is under way, well before its end (each disc is flushed).
    QVERIFY(QTest::qWaitFor([&] { return discs.AnyBackup(); }, 20000));
  }
  kill(static_cast<pid_t>(program.processId()), signal);
  // A box left waiting for a user who has gone would keep the program alive.
  QVERIFY(program.waitForFinished(20000));
  if (exitCode == -1) {
    QCOMPARE(program.exitStatus(), QProcess::CrashExit);
    return;
  }
  QCOMPARE(program.exitStatus(), QProcess::NormalExit);
  QVERIFY2(program.exitCode() == exitCode,
           qPrintable(QString::number(program.exitCode()) + " " + program.readAllStandardError()));

  const DiscRow::Left left = discs.Check();
  QVERIFY2(left.faults.empty(), left.faults.empty() ? "" : left.faults.front().c_str());
  QVERIFY(left.patched > 0);
  QVERIFY2(left.patched < kDiscs, "the pass stopped");
}

QTEST_MAIN(SessionEndTest)
#include "session_end_test.moc"
