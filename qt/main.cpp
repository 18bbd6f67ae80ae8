#include "qt/folder_patch_app.h"

int main(int argc, char** argv) {
  CFolderPatchApp app(argc, argv);
  app.InitInstance();
  return app.ExitStatus();
}
