#include "burnlib/mmc/Sense.h"

namespace burnlib::mmc {

const char* SenseKeyName(uint8_t key) {
    static const char* const kNames[16] = {
        "no sense",        "recovered error", "not ready",      "medium error",
        "hardware error",  "illegal request", "unit attention", "data protect",
        "blank check",     "vendor specific", "copy aborted",   "aborted command",
        "obsolete",        "volume overflow", "miscompare",     "reserved"};
    return kNames[key & 0x0F];
}

const char* AdditionalSenseText(uint8_t asc, uint8_t ascq) {
    struct Entry {
        uint8_t asc;
        int16_t ascq;  // -1: any qualifier
        const char* text;
    };
    static const Entry kTable[] = {
        {0x04, 0x00, "not ready, cause not reportable"},
        {0x04, 0x01, "becoming ready"},
        {0x04, 0x02, "initializing command required"},
        {0x04, 0x04, "format in progress"},
        {0x04, 0x07, "operation in progress"},
        {0x04, 0x08, "long write in progress"},
        {0x0C, 0x00, "write error"},
        {0x0C, 0x09, "write error, loss of streaming"},
        {0x11, 0x00, "unrecovered read error"},
        {0x1A, 0x00, "parameter list length error"},
        {0x20, 0x00, "invalid command operation code"},
        {0x21, 0x00, "logical block address out of range"},
        {0x21, 0x02, "invalid address for write"},
        {0x24, 0x00, "invalid field in CDB"},
        {0x25, 0x00, "logical unit not supported"},
        {0x26, 0x00, "invalid field in parameter list"},
        {0x26, -1, "invalid field in parameter list"},
        {0x27, 0x00, "write protected"},
        {0x28, 0x00, "medium may have changed"},
        {0x29, -1, "power on, reset or bus device reset occurred"},
        {0x2C, 0x00, "command sequence error"},
        {0x30, 0x00, "incompatible medium installed"},
        {0x30, 0x02, "cannot read medium, incompatible format"},
        {0x30, 0x05, "cannot write medium, incompatible format"},
        {0x30, -1, "incompatible medium"},
        {0x3A, -1, "medium not present"},
        {0x63, 0x00, "end of user area encountered on this track"},
        {0x64, 0x00, "illegal mode for this track"},
        {0x72, -1, "session fixation error"},
        {0x73, -1, "power calibration area error"},
    };
    for (const Entry& e : kTable)
        if (e.asc == asc && (e.ascq < 0 || e.ascq == ascq)) return e.text;
    return nullptr;
}

}  // namespace burnlib::mmc
