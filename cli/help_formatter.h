#pragma once

#include <string>

#include <CLI/CLI.hpp>

// --help as a person would lay it out for a terminal of 80 columns: the usage first, then what
// the command does, each command with its arguments, each option with the name of its value,
// and the footer (an example). A command's help lists the options of the commands above it as
// well, since it takes them too.
class HelpFormatter : public CLI::Formatter {
 public:
  std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode) const override;
};
