// One parser of drive answers per build (QF_FUZZ_PARSER_<name>), fed arbitrary bytes. Beyond not
// crashing or reading past the input, each checks that what it reports fits in what it was given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "burnlib/mmc/Parsers.h"

using namespace burnlib::mmc;

namespace {
void Require(bool condition) {
    if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
#if defined(QF_FUZZ_PARSER_inquiry)
    InquiryData d;
    if (ParseInquiry(data, size, &d))
        Require(d.vendor.size() <= 8 && d.product.size() <= 16 && d.revision.size() <= 4);
#elif defined(QF_FUZZ_PARSER_sense)
    SenseData s;
    if (ParseSense(data, size, &s)) Require(s.key <= 0x0F);
#elif defined(QF_FUZZ_PARSER_configuration)
    Configuration c;
    if (ParseConfiguration(data, size, &c)) {
        size_t bytes = 8;
        for (const Feature& f : c.features) bytes += 4 + f.data.size();
        Require(bytes <= size);
        Require(c.profiles.size() * 4 <= size);
    }
#elif defined(QF_FUZZ_PARSER_disc_information)
    DiscInformation d;
    if (ParseDiscInformation(data, size, &d)) Require(size >= 12 && d.discStatus <= 3);
#elif defined(QF_FUZZ_PARSER_track_information)
    TrackInformation t;
    if (ParseTrackInformation(data, size, &t)) Require(size >= 28);
#elif defined(QF_FUZZ_PARSER_toc)
    Toc t;
    if (ParseToc(data, size, &t)) Require(4 + 8 * t.entries.size() <= size);
#elif defined(QF_FUZZ_PARSER_full_toc)
    FullToc t;
    if (ParseFullToc(data, size, &t)) Require(4 + 11 * t.entries.size() <= size);
#elif defined(QF_FUZZ_PARSER_atip)
    Atip a;
    if (ParseAtip(data, size, &a)) Require(a.leadInStart >= -450150);
#elif defined(QF_FUZZ_PARSER_capabilities_page)
    size_t offset = 0, length = 0;
    if (FindModePage(data, size, 0x2A, &offset, &length)) {
        Require(offset + length <= size);
        Capabilities caps;
        if (ParseCapabilitiesPage(data + offset, length, &caps))
            Require(caps.writeSpeeds.empty() || 32 + 4 * caps.writeSpeeds.size() <= length);
    }
#elif defined(QF_FUZZ_PARSER_write_parameters_page)
    size_t offset = 0, length = 0;
    if (FindModePage(data, size, 0x05, &offset, &length)) {
        Require(offset + length <= size);
        WriteParameters w;
        if (ParseWriteParametersPage(data + offset, length, &w)) Require(w.writeType <= 0x0F);
    }
#elif defined(QF_FUZZ_PARSER_performance)
    std::vector<WriteSpeedDescriptor> speeds;
    if (ParseWriteSpeeds(data, size, &speeds)) Require(8 + 16 * speeds.size() <= size);
    std::vector<PerformanceDescriptor> performance;
    if (ParsePerformance(data, size, &performance)) Require(8 + 16 * performance.size() <= size);
#else
#error "no parser chosen"
#endif
    return 0;
}
