#pragma once

#include <span>

// A rectangle in dialog units: a quarter of the font's average character width across, an
// eighth of its height down.
struct DluRect {
  int x;
  int y;
  int width;
  int height;
};

struct ControlTemplate {
  enum class Kind {
    kPushButton,
    kDefPushButton,
    kLeftText,
    kCenteredText,
    kEdit,
    kAutoCheckBox,
    kIcon,
    kHorizontalRule,
    kProgressBar,
  };

  int id;
  const char* name;  // the id's name, which becomes the widget's object name
  Kind kind;
  const char* text;
  DluRect rect;
};

struct DialogTemplate {
  int id;
  const char* name;
  const char* caption;
  DluRect rect;  // a dialog's client size; a panel's place in its dialog too
  std::span<const ControlTemplate> controls;  // in tab order
};

// Written at build time from the Windows program's resource script, the one source of both
// programs' dialogs.
extern const DialogTemplate kMainDialogTemplate;
extern const DialogTemplate kAboutBoxTemplate;
// The panel a long pass shows in the main dialog's empty band below its buttons.
extern const DialogTemplate kProgressStripTemplate;

// The string table's text for `id`, or "" when it has none, as LoadString gives it.
const char* ResourceString(int id);
