// Readable names of sense data for the error texts.
#pragma once

#include <cstdint>

namespace burnlib::mmc {

const char* SenseKeyName(uint8_t key);
// The additional sense code's meaning, or null when we have no text for it.
const char* AdditionalSenseText(uint8_t asc, uint8_t ascq);

}  // namespace burnlib::mmc
