// The disc-burning library as the program calls it: its contract lives with the library.
#pragma once

#include "burnlib/api/StarBurn.h"
