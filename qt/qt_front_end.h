#pragma once

#include <chrono>
#include <memory>
#include <string>

#include <QElapsedTimer>
#include <QString>

#include "pass/pass_front_end.h"
#include "pass/pass_report.h"
#include "qt/pass_input_sink.h"

class ProgressStrip;
class QWidget;
class UserPrompts;

// Shows a pass's messages in boxes owned by the dialog, and keeps the dialog painted while the
// pass runs on the user-interface thread: paint events are processed, input to the dialog is
// dropped, but for Escape and the strip's Cancel button, which stop the pass between two folders.
// Once a stop signal has come, the pass stops there too and no box is shown. Lives for one
// pass: a busy cursor from construction to destruction, and a progress strip in the dialog from
// `progressDelay` into the pass until its summary, which lists each folder's fate in its details.
class QtFrontEnd : public PassFrontEnd {
 public:
  QtFrontEnd(QWidget& owner, UserPrompts& prompts,
             std::chrono::milliseconds progressDelay = std::chrono::seconds(1));
  ~QtFrontEnd() override;
  QtFrontEnd(const QtFrontEnd&) = delete;
  QtFrontEnd& operator=(const QtFrontEnd&) = delete;

  void ShowMessage(const PassMessage& message) override;
  void DirectoryVisited(const std::string& path) override;
  void FolderStarted(const std::string& path) override;
  void FolderUnreadable(const std::string& path, const std::string& cause) override;
  void FolderHandled(const std::string& path, const FolderOutcome& outcome) override;
  // Cancel, Escape, or a signal that ends the session (SIGTERM, SIGHUP) or comes from Ctrl+C.
  bool CancelRequested() override;

 private:
  // Brings the progress strip up once the delay has passed, and lets the dialog repaint.
  void Tick(const std::string& current);
  void RefreshProgress();
  void RequestCancel();

  QWidget& m_owner;
  UserPrompts& m_prompts;
  std::chrono::milliseconds m_progressDelay;
  PassInputSink m_inputSink;
  std::unique_ptr<ProgressStrip> m_progress;
  QElapsedTimer m_sinceStart;
  QElapsedTimer m_sinceRepaint;
  long m_directories = 0;
  long m_handled = 0;
  std::string m_current;  // the directory or BDMV folder at hand
  PassReport m_report;
  bool m_cancelRequested = false;
};
