#include "drive/SpeedList.h"

namespace {
// One text per factor, so that equal factors of the two tables share one pointer.
const char kLabel1x[] = "1.0x";
const char kLabel2x[] = "2.0x";
const char kLabel2_2x[] = "2.2x";
const char kLabel2_4x[] = "2.4x";
const char kLabel3x[] = "3.0x";
const char kLabel4x[] = "4.0x";
const char kLabel5x[] = "5.0x";
const char kLabel6x[] = "6.0x";
const char kLabel8x[] = "8.0x";
const char kLabel10x[] = "10.0x";
const char kLabel12x[] = "12.0x";
const char kLabel16x[] = "16.0x";
const char kLabel20x[] = "20.0x";
const char kLabel24x[] = "24.0x";
const char kLabel32x[] = "32.0x";
const char kLabel40x[] = "40.0x";
const char kLabel44x[] = "44.0x";
const char kLabel48x[] = "48.0x";
const char kLabel52x[] = "52.0x";
}  // namespace

// The speeds are the nominal ones drives are asked for, kept as they are even where they do not
// follow one multiplier (8x is 1400, 20x is 3250).
const SPEED_TABLE_ENTRY kCdSpeedTable[16] = {
    {176, kLabel1x},    {353, kLabel2x},    {387, kLabel2_2x},  {528, kLabel3x},
    {706, kLabel4x},    {1400, kLabel8x},   {1760, kLabel10x},  {2112, kLabel12x},
    {2800, kLabel16x},  {3250, kLabel20x},  {4224, kLabel24x},  {5632, kLabel32x},
    {7040, kLabel40x},  {7744, kLabel44x},  {8448, kLabel48x},  {9152, kLabel52x},
};

const SPEED_TABLE_ENTRY kDvdSpeedTable[10] = {
    {1385, kLabel1x},  {2770, kLabel2x},  {3324, kLabel2_4x}, {4155, kLabel3x},
    {5540, kLabel4x},  {6925, kLabel5x},  {8310, kLabel6x},   {11080, kLabel8x},
    {16620, kLabel12x}, {22160, kLabel16x},
};
