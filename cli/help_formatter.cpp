#include "cli/help_formatter.h"

#include <cctype>
#include <sstream>
#include <vector>

namespace {

constexpr std::size_t kWidth = 80;
constexpr std::size_t kTextColumn = 24;  // where the right column of a row begins

// `text` from column `column` on, broken between words so that no line reaches kWidth; the
// lines after the first begin at `indent`.
std::string Wrap(const std::string& text, std::size_t column, std::size_t indent) {
  std::istringstream words(text);
  std::string wrapped, word;
  for (bool first = true; words >> word; first = false) {
    if (!first && column + 1 + word.size() >= kWidth) {
      wrapped += "\n" + std::string(indent, ' ');
      column = indent;
    } else if (!first) {
      wrapped += ' ';
      ++column;
    }
    wrapped += word;
    column += word.size();
  }
  return wrapped + "\n";
}

// A name and its text in two columns; a name too long for the left one has the text below it.
std::string Row(const std::string& name, const std::string& text) {
  std::string row = "  " + name;
  row += row.size() + 2 <= kTextColumn ? std::string(kTextColumn - row.size(), ' ')
                                       : "\n" + std::string(kTextColumn, ' ');
  return row + Wrap(text, kTextColumn, kTextColumn);
}

// "-h, --help", "--threads N".
std::string OptionName(const CLI::Option* option) {
  std::string text;
  const auto add = [&text](const std::string& name) { text += (text.empty() ? "" : ", ") + name; };
  for (const std::string& name : option->get_snames()) add("-" + name);
  for (const std::string& name : option->get_lnames()) add("--" + name);
  if (!option->get_option_text().empty()) text += " " + option->get_option_text();
  return text;
}

// " FOLDER": the arguments `app` takes after its options.
std::string Arguments(const CLI::App* app) {
  std::string text;
  for (const CLI::Option* option : app->get_options())
    if (option->get_positional()) text += " " + option->get_name(true);
  return text;
}

// "modify [--2d] FOLDER": a command with its own options and its arguments.
std::string Synopsis(const CLI::App* command) {
  std::string text = command->get_name();
  for (const CLI::Option* option : command->get_options()) {
    if (!option->get_positional() && option != command->get_help_ptr())
      text += " [" + OptionName(option) + "]";
  }
  return text + Arguments(command);
}

// The options `app` takes, those of the commands above it included; help and version last.
std::vector<const CLI::Option*> Options(const CLI::App* app) {
  std::vector<const CLI::Option*> options;
  for (const CLI::App* above = app; above != nullptr; above = above->get_parent()) {
    for (const CLI::Option* option : above->get_options()) {
      if (option->nonpositional() && option != above->get_help_ptr() &&
          option != above->get_version_ptr())
        options.push_back(option);
    }
  }
  for (const CLI::Option* last : {app->get_help_ptr(), app->get_version_ptr()})
    if (last != nullptr) options.push_back(last);
  return options;
}

// A description, written to stand as a row's text ("change nothing: list ..."), as the sentence
// that opens a help.
std::string Sentence(std::string text) {
  if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return text.ends_with('.') ? text : text + ".";
}

// "\nTitle:\n" and its rows, or nothing without rows.
std::string Section(const std::string& title, const std::string& rows) {
  return rows.empty() ? "" : "\n" + title + ":\n" + rows;
}

}  // namespace

std::string HelpFormatter::make_help(const CLI::App* app, std::string name,
                                     CLI::AppFormatMode) const {
  const std::vector<const CLI::App*> commands = app->get_subcommands({});
  std::string commandRows, argumentRows, optionRows;
  for (const CLI::App* command : commands)
    commandRows += Row(Synopsis(command), command->get_description());
  for (const CLI::Option* option : app->get_options()) {
    if (option->get_positional())
      argumentRows += Row(option->get_name(true), option->get_description());
  }
  for (const CLI::Option* option : Options(app))
    optionRows += Row(OptionName(option), option->get_description());
  // Every command takes the same arguments, so the first one's stand for all.
  const std::string arguments =
      commands.empty() ? Arguments(app) : " COMMAND" + Arguments(commands.front());
  std::string help = "Usage: " + name + " [OPTIONS]" + arguments + "\n\n" +
                     Wrap(Sentence(app->get_description()), 0, 0) +
                     Section("Commands", commandRows) + Section("Arguments", argumentRows) +
                     Section("Options", optionRows);
  if (!app->get_footer().empty()) help += "\n" + Wrap(app->get_footer(), 0, 0);
  return help;
}
