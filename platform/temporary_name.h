#pragma once

#include <cstdint>
#include <string>

// The hidden name a file is written under before it is published: ".NAME.quorvel-PID-N".
namespace platform {

std::string TemporaryName(const std::string& finalName, std::uint64_t processId);

// The process that made a temporary file of that form, or 0 when `name` is not one.
std::uint64_t TemporaryFilesProcess(const std::string& name);

}  // namespace platform
