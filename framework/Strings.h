// String-table and formatting helpers: every text the user sees comes from the string table.
#pragma once

#include <windows.h>

#include <string>

// The string with this id from the program's resources; empty when there is none.
std::string LoadStr(UINT id, HINSTANCE instance = nullptr);

// printf-style formatting into a string of any length.
std::string FormatStr(const char* format, ...) __attribute__((format(printf, 1, 2)));
