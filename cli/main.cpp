#include "cli/quorvel_cli.h"
#include "platform/terminal.h"

int main(int argc, char** argv) {
  platform::PrepareConsoleProgram();
  return RunQuorvelCli(platform::CommandLineArguments(argc, argv), stdout, stderr);
}
