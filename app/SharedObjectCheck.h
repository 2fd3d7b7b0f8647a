#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace velorin {

// What is wrong with a shared library before it is loaded: not an ELF file of this
// processor, or cut short: its headers or some of what it maps lie past its end (the
// loader would map those pages anyway, and the first call there would crash). Nothing
// when it is whole.
// Any thread.
std::optional<std::string> sharedObjectProblem(const std::filesystem::path& file);

} // namespace velorin
