// Ready-made drive models and discs with short names, and the one-line description of a set of
// virtual drives ("dvd-dl-writer:cd-r-blank,cdrw-writer:none@E").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "burnlib/virtual/DriveModel.h"
#include "burnlib/virtual/Medium.h"

namespace burnlib {

struct VirtualDriveSpec {
    DriveModel model;
    Medium medium;
    char driveLetter = 0;  // 0: none given
};

inline constexpr const char* kDefaultVirtualDrives = "dvd-dl-writer:cd-r-blank,cdrw-writer:cd-r-blank";

std::optional<DriveModel> DriveModelByName(std::string_view name);
std::optional<Medium> MediumByName(std::string_view name);
std::vector<std::string> DriveModelNames();
std::vector<std::string> MediumNames();

// Comma-separated model:medium items, each with an optional @X drive letter. On failure returns
// false, leaves *out alone and says which item is wrong (and what names exist) in *error.
bool ParseDriveSet(std::string_view line, std::vector<VirtualDriveSpec>* out, std::string* error);

}  // namespace burnlib
