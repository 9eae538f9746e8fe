// A small SHA-1, only to compare sectors with published digests.
#pragma once

#include <cstdint>
#include <span>
#include <string>

std::string Sha1Hex(std::span<const uint8_t> data);
