#include "burnlib/transport/ScsiTransport.h"

namespace burnlib {

namespace {
bool IsDescriptorFormat(const uint8_t* sense) {
    const uint8_t code = sense[0] & 0x7F;
    return code == 0x72 || code == 0x73;
}
}  // namespace

uint8_t ScsiResult::SenseKey() const {
    if (status != kScsiStatusCheckCondition || senseLength < 3) return 0;
    return IsDescriptorFormat(sense) ? (sense[1] & 0x0F) : (sense[2] & 0x0F);
}

uint8_t ScsiResult::Asc() const {
    if (status != kScsiStatusCheckCondition) return 0;
    if (IsDescriptorFormat(sense)) return senseLength > 2 ? sense[2] : 0;
    return senseLength > 12 ? sense[12] : 0;
}

uint8_t ScsiResult::Ascq() const {
    if (status != kScsiStatusCheckCondition) return 0;
    if (IsDescriptorFormat(sense)) return senseLength > 3 ? sense[3] : 0;
    return senseLength > 13 ? sense[13] : 0;
}

ScsiResult ScsiResult::Ok(uint32_t transferred) {
    ScsiResult r;
    r.delivered = true;
    r.transferred = transferred;
    return r;
}

ScsiResult ScsiResult::Check(uint8_t key, uint8_t asc, uint8_t ascq) {
    ScsiResult r;
    r.delivered = true;
    r.status = kScsiStatusCheckCondition;
    r.sense[0] = 0x70;
    r.sense[2] = key & 0x0F;
    r.sense[7] = 10;  // additional length: bytes 8..17
    r.sense[12] = asc;
    r.sense[13] = ascq;
    r.senseLength = 18;
    return r;
}

ScsiResult ScsiResult::SystemFailure(uint32_t error) {
    ScsiResult r;
    r.delivered = false;
    r.systemError = error;
    return r;
}

}  // namespace burnlib
