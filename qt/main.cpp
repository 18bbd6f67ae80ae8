#include "qt/command_line.h"
#include "qt/folder_patch_app.h"

int main(int argc, char** argv) {
  if (const auto status = AnswerWithoutDisplay(argc, argv)) return *status;
  CFolderPatchApp app(argc, argv);
  app.InitInstance();
  return app.ExitStatus();
}
