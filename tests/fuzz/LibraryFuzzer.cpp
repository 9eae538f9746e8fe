// The whole library against a drive that answers every command with fuzzed status, sense, data
// and transfer counts: every entry point must return cleanly and keep its outputs in bounds.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <memory>
#include <vector>

#include "burnlib/api/DeviceProvider.h"
#include "burnlib/api/StarBurn.h"

using namespace burnlib;

namespace {

class FuzzedDrive final : public ScsiTransport {
public:
    explicit FuzzedDrive(std::shared_ptr<FuzzedDataProvider> input) : m_input(std::move(input)) {}

    ScsiResult Execute(const ScsiRequest& request) override {
        FuzzedDataProvider& in = *m_input;
        if (in.remaining_bytes() == 0) return ScsiResult::Check(0x02, 0x3A, 0x00);
        switch (in.ConsumeIntegralInRange<int>(0, 9)) {
            case 0: return ScsiResult::SystemFailure(in.ConsumeIntegral<uint16_t>());
            case 1: {
                ScsiResult r = ScsiResult::Ok(0);
                r.status = kScsiStatusCheckCondition;
                const std::vector<uint8_t> sense = in.ConsumeBytes<uint8_t>(kSenseBufferSize);
                if (!sense.empty()) std::memcpy(r.sense, sense.data(), sense.size());
                r.senseLength = in.ConsumeIntegral<uint8_t>();  // may exceed the buffer
                return r;
            }
            case 2: {
                ScsiResult r = ScsiResult::Ok(0);
                r.status = in.ConsumeIntegral<uint8_t>();
                return r;
            }
            default: {
                std::vector<uint8_t> bytes =
                    in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 600));
                const size_t n = std::min<size_t>(bytes.size(), request.dataLength);
                if (request.direction == DataDirection::In && n != 0)
                    std::memcpy(request.data, bytes.data(), n);
                // The count a driver reports is not always the truth.
                return ScsiResult::Ok(in.ConsumeBool() ? in.ConsumeIntegral<uint32_t>()
                                                       : static_cast<uint32_t>(n));
            }
        }
    }
    uint32_t MaxTransferLength() const override { return 65536; }
    bool GetAddress(ScsiAddress* a) const override {
        *a = ScsiAddress{1, 0, 0, 0};
        return true;
    }

private:
    std::shared_ptr<FuzzedDataProvider> m_input;
};

class FuzzedProvider final : public DeviceProvider {
public:
    explicit FuzzedProvider(std::shared_ptr<FuzzedDataProvider> input) : m_input(std::move(input)) {}
    std::vector<DeviceEntry> Enumerate() override {
        return {DeviceEntry{"CdRom0", ScsiAddress{1, 0, 0, 0}, 'E'}};
    }
    std::unique_ptr<ScsiTransport> OpenByName(const std::string& name, OpenFailure* f) override {
        if (name != "CdRom0") {
            f->text = "no such device";
            return nullptr;
        }
        return std::make_unique<FuzzedDrive>(m_input);
    }

private:
    std::shared_ptr<FuzzedDataProvider> m_input;
};

}  // namespace

// This program's drives are the fuzzed one only, installed per input.
std::shared_ptr<DeviceProvider> burnlib::CreateDefaultDeviceProvider() { return nullptr; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto input = std::make_shared<FuzzedDataProvider>(data, size);
    SetDeviceProvider(std::make_shared<FuzzedProvider>(input));
    StarBurn_UpStartEx();
    char text[64];
    uint32_t system = 0;
    STARBURN_FAILURE_RECORD failure;
    STARBURN_GRABBER g = nullptr;
    // The device is a CD/DVD unit so that the queries run.
    if (StarBurn_CdvdBurnerGrabber_CreateEx(&g, text, sizeof text, &system, &failure, nullptr,
                                            nullptr, "CdRom0", 1) == STARBURN_OK) {
        char v[STARBURN_ID_TEXT_SIZE], p[STARBURN_ID_TEXT_SIZE], r[STARBURN_ID_TEXT_SIZE];
        uint32_t kb = 0;
        StarBurn_CdvdBurnerGrabber_GetDeviceInformation(g, v, p, r, &kb);
        StarBurn_CdvdBurnerGrabber_TestUnitReady(g, text, sizeof text, &system, &failure);
        const int32_t type = StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(g);
        if (type < 0 || type > 22) __builtin_trap();
        auto toc = std::make_unique<STARBURN_TOC_INFORMATION>();
        for (uint32_t fast : {1u, 0u}) {
            StarBurn_SetFastReadTOC(fast);
            if (StarBurn_CdvdBurnerGrabber_GetTOCInformation(g, text, sizeof text, &system,
                                                             &failure, toc.get()) == STARBURN_OK &&
                toc->m_trackCount > 99)
                __builtin_trap();
        }
        STARBURN_TRACK_INFORMATION track;
        StarBurn_CdvdBurnerGrabber_GetTrackInformation(g, text, sizeof text, &system, &failure,
                                                       255, &track);
        STARBURN_ADVANCED_SUPPORTED_MEDIA_FORMATS formats = {};
        formats.m_size = sizeof formats;
        StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats(g, &formats);
        uint8_t m[4];
        StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes(g, text, sizeof text, &system,
                                                            &failure, &m[0], &m[1], &m[2], &m[3]);
        uint32_t s[4];
        StarBurn_CdvdBurnerGrabber_GetSpeeds(g, text, sizeof text, &system, &failure, &s[0],
                                             &s[1], &s[2], &s[3]);
        StarBurn_CdvdBurnerGrabber_SetSpeeds(g, text, sizeof text, &system, &failure,
                                             STARBURN_SPEED_UNCHANGED, 1764);
        StarBurn_Destroy(&g);
    }
    StarBurn_DownShut();
    return 0;
}
