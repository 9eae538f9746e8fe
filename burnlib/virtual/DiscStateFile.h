// A virtual disc's state in a small text file, so a disc written in one run of the program is
// the same written disc in the next: "key value" lines, one "track" line per track.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "burnlib/virtual/Medium.h"

namespace burnlib {

std::string DescribeMediumState(const Medium& medium);
// Fills *out (all but its stores) from the text. False, with the line at fault in *error, on
// anything it does not understand; *out is then left alone.
bool ParseMediumState(std::string_view text, Medium* out, std::string* error);

bool SaveMediumState(const std::filesystem::path& path, const Medium& medium, std::string* error);
bool LoadMediumState(const std::filesystem::path& path, Medium* out, std::string* error);

}  // namespace burnlib
