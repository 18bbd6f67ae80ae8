#include "cli/terminal_text.h"

#include <filesystem>

#include "cli/utf8.h"

namespace {

constexpr bool kBackslashIsSeparator = std::filesystem::path::preferred_separator == L'\\';

void AppendEscapedByte(std::string& shown, unsigned char byte) {
  static constexpr char kHex[] = "0123456789abcdef";
  switch (byte) {
    case '\a':
      shown += "\\a";
      return;
    case '\b':
      shown += "\\b";
      return;
    case '\t':
      shown += "\\t";
      return;
    case '\n':
      shown += "\\n";
      return;
    case '\v':
      shown += "\\v";
      return;
    case '\f':
      shown += "\\f";
      return;
    case '\r':
      shown += "\\r";
      return;
  }
  shown += "\\x";
  shown += kHex[byte >> 4];
  shown += kHex[byte & 0x0F];
}

// C1 controls (U+0080 to U+009F) are two bytes in UTF-8; some terminals act on them too.
bool IsC1Control(std::string_view sequence) {
  return sequence.size() == 2 && static_cast<unsigned char>(sequence[0]) == 0xC2 &&
         static_cast<unsigned char>(sequence[1]) < 0xA0;
}

}  // namespace

std::string TerminalText(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, at);
    if (length == 0) {
      AppendEscapedByte(shown, static_cast<unsigned char>(text[at]));
      ++at;
      continue;
    }
    const std::string_view sequence = text.substr(at, length);
    at += length;
    const unsigned char first = static_cast<unsigned char>(sequence[0]);
    if (first < 0x20 || first == 0x7F || IsC1Control(sequence)) {
      for (const char byte : sequence) AppendEscapedByte(shown, static_cast<unsigned char>(byte));
    } else if (first == '\\' && !kBackslashIsSeparator) {
      shown += "\\\\";
    } else {
      shown += sequence;
    }
  }
  return shown;
}
