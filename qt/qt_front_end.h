#pragma once

#include <memory>

#include "pass/pass_presenter.h"
#include "qt/pass_input_sink.h"

class ProgressStrip;
class QWidget;
class UserPrompts;

// Draws a pass in the dialog that runs it, on the user-interface thread: boxes owned by the
// dialog, the progress strip, a busy cursor from construction to destruction but for the Cancel
// button and the boxes. Input to the dialog is dropped, but for Escape and the strip's Cancel
// button, which stop the pass between two folders. Once a stop signal has come, no box is shown.
class QtFrontEnd : public PassPresenter {
 public:
  QtFrontEnd(QWidget& owner, UserPrompts& prompts, PassClock clock = PassTime);
  ~QtFrontEnd() override;
  QtFrontEnd(const QtFrontEnd&) = delete;
  QtFrontEnd& operator=(const QtFrontEnd&) = delete;

  void RequestCancel() override;

 protected:
  void DrawProgress(const PassProgress& progress) override;
  void RemoveProgress() override;
  // Paints, and reads the input: the sink drops it all but Escape and the Cancel button.
  void Refresh() override;
  void DrawMessage(const PassMessage& message, const PassReport& report) override;

 private:
  void PointerOverCancel(bool over);

  QWidget& m_owner;
  UserPrompts& m_prompts;
  PassInputSink m_inputSink;
  std::unique_ptr<ProgressStrip> m_progress;
  bool m_overCancel = false;
};
