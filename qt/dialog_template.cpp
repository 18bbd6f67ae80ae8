#include "qt/dialog_template.h"

// The Qt program's own addition to the main dialog, which the Windows template leaves empty.
const DluRect kProgressStripRect = {7, 150, 306, 44};
