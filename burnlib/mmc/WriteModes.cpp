#include "burnlib/mmc/WriteModes.h"

#include "burnlib/mmc/Commands.h"
#include "burnlib/mmc/WriteSetup.h"

namespace burnlib::mmc {

namespace {

// One trial. *accepted tells the drive's answer; false = the probe cannot go on. *changed is
// set when the drive's page may differ from what it was.
bool TryWriteParameters(MmcDevice& device, const std::vector<uint8_t>& reply, size_t offset,
                        uint8_t writeType, uint8_t dataBlockType, bool* accepted, bool* changed) {
    std::vector<uint8_t> list = ModeSelectList(reply, offset);
    uint8_t* page = list.data() + offset;
    page[2] = static_cast<uint8_t>((page[2] & 0xF0) | (writeType & 0x0F));
    if (writeType == 3) page[3] &= 0xF0;  // raw: the sectors carry their own mode
    page[4] = static_cast<uint8_t>((page[4] & 0xF0) | (dataBlockType & 0x0F));
    *accepted = SendModeSelect(device, list);
    if (*accepted) {
        *changed = true;
        return true;
    }
    // A refusal is the answer and changes nothing; anything else (a cancel before sending
    // aside) leaves the drive's page unknown and ends the probe.
    const CommandFailure& f = device.LastFailure();
    if (f.outcome == Outcome::CheckCondition && f.senseKey == kSenseIllegalRequest && !f.deferred)
        return true;
    if (!device.Cancelled()) *changed = true;
    return false;
}

bool RunTrials(MmcDevice& device, const std::vector<uint8_t>& reply, size_t offset,
               WriteModes* out, bool* changed) {
    struct Trial {
        bool* result;
        uint8_t writeType;
        uint8_t dataBlockType;
    };
    const Trial trials[] = {
        {&out->tao, 1, 8}, {&out->sao, 2, 8}, {&out->rawPQ, 3, 1},
        {&out->rawPW, 3, 2}, {&out->rawPW, 3, 3},
    };
    for (const Trial& t : trials) {
        if (*t.result) continue;
        bool accepted = false;
        if (!TryWriteParameters(device, reply, offset, t.writeType, t.dataBlockType, &accepted,
                                changed))
            return false;
        *t.result = accepted;
    }
    return true;
}

bool ProbeWriteModesByTrial(MmcDevice& device, WriteModes* out) {
    std::vector<uint8_t> reply;
    size_t offset = 0, length = 0;
    if (!ReadModePage(device, kPageWriteParameters, kPageControlCurrent, &reply, &offset, &length))
        return false;
    if (length < 5 || length < static_cast<size_t>(reply[offset + 1]) + 2)
        return device.BadResponse();
    WriteModes w;
    bool changed = false;
    const bool probed = RunTrials(device, reply, offset, &w, &changed);
    if (!changed) {
        if (probed) *out = w;
        return probed;
    }
    // Put the page back as it was, even after a failure or a cancel; the probe still reports
    // its first failure.
    MmcDevice::CleanupScope cleanup(device);
    std::vector<uint8_t> original = ModeSelectList(reply, offset);
    const bool restored = SendModeSelect(device, original);
    if (!probed || !restored) return false;
    *out = w;
    return true;
}

}  // namespace

bool ProbeWriteModes(MmcDevice& device, WriteModes* out) {
    const Configuration* features = nullptr;
    if (device.ReadSupportedFeatures(&features)) {
        const Feature* tao = features->Find(0x002D);
        const Feature* mastering = features->Find(0x002E);
        const uint8_t bits = mastering != nullptr ? mastering->Byte(0) : 0;
        WriteModes w;
        w.tao = tao != nullptr;
        w.sao = (bits & 0x20) != 0;
        // Raw writing takes the 16-byte P-Q form; the 96-byte P-W forms need R-W recording.
        w.rawPQ = (bits & 0x08) != 0;
        w.rawPW = w.rawPQ && (bits & 0x01) != 0;
        w.rawMultiSession = w.rawPQ && (bits & 0x10) != 0;
        *out = w;
        return true;
    }
    if (device.Cancelled() || !device.FailedWith(kSenseIllegalRequest, 0x20)) return false;
    return ProbeWriteModesByTrial(device, out);
}

}  // namespace burnlib::mmc
