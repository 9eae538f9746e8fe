#include "burnlib/virtual/Catalog.h"

#include <cctype>
#include <functional>
#include <utility>

namespace burnlib {

namespace {

// Nominal CD and DVD steps as drives report them: multiples of 176.4 and 1385 KB/s.
const std::vector<uint32_t> kCdWrite48 = {176, 353, 706, 1411, 2117, 2822, 3528, 4234, 5645, 7056, 8467};
const std::vector<uint32_t> kCdRead52 = {706, 1764, 2822, 4234, 5645, 7056, 8467, 9173};
const std::vector<uint32_t> kDvdWrite16 = {1385, 2770, 3324, 5540, 8310, 11080, 16620, 22160};
const std::vector<uint32_t> kDvdRead16 = {2770, 5540, 11080, 16620, 22160};
const std::vector<uint32_t> kBdWrite8 = {4496, 8991, 17982, 26973, 35964};
const std::vector<uint32_t> kBdRead8 = {8991, 17982, 35964};

constexpr uint16_t kCdTaoBlockTypes = 0x3F0F;  // 0-3 raw, 8-13 Mode 1 and Mode 2 forms

void GiveCdWriting(DriveModel& m) {
    m.cdTao = true;
    m.cdTaoDataBlockTypes = kCdTaoBlockTypes;
    m.cdSao = true;
    m.cdRaw = true;
    m.cdRawMultiSession = true;
    m.cdRwSubcode = true;
    m.cdTestWrite = true;
    m.maxCueSheetLength = 0x8000;
    m.incrementalStreaming = true;
    m.bufferUnderrunProtection = true;
    m.cdWriteSpeeds = kCdWrite48;
    m.cdReadSpeeds = kCdRead52;
}

DriveModel CdrwWriter() {
    DriveModel m;
    m.shortName = "cdrw-writer";
    m.vendor = "QFVIRT";
    m.product = "CD-RW 48x";
    m.revision = "1.20";
    m.readProfiles = {kProfileCdRom, kProfileCdR, kProfileCdRw};
    m.writeProfiles = {kProfileCdR, kProfileCdRw};
    GiveCdWriting(m);
    m.bufferKB = 2048;
    return m;
}

DriveModel DvdDlWriter() {
    DriveModel m;
    m.shortName = "dvd-dl-writer";
    m.vendor = "QFVIRT";
    m.product = "DVD+-RW DL 16x";
    m.revision = "2.05";
    m.readProfiles = {kProfileCdRom, kProfileCdR, kProfileCdRw, kProfileDvdRom, kProfileDvdR,
                      kProfileDvdRam, kProfileDvdRwRestricted, kProfileDvdRwSequential, kProfileDvdRDl,
                      kProfileDvdPlusRw, kProfileDvdPlusR, kProfileDvdPlusRDl};
    m.writeProfiles = {kProfileCdR, kProfileCdRw, kProfileDvdR, kProfileDvdRam, kProfileDvdRwRestricted,
                       kProfileDvdRwSequential, kProfileDvdRDl, kProfileDvdPlusRw, kProfileDvdPlusR,
                       kProfileDvdPlusRDl};
    GiveCdWriting(m);
    m.dvdMinusWrite = true;
    m.dvdMinusTestWrite = true;
    m.dvdMinusRw = true;
    m.dvdMinusDualLayer = true;
    m.dvdMinusRwRestricted = true;
    m.dvdPlusR = true;
    m.dvdPlusRDualLayer = true;
    m.dvdPlusRw = true;
    m.realTimeStreaming = true;
    m.dvdWriteSpeeds = kDvdWrite16;
    m.dvdReadSpeeds = kDvdRead16;
    return m;
}

DriveModel DvdReader() {
    DriveModel m;
    m.shortName = "dvd-reader";
    m.vendor = "QFVIRT";
    m.product = "DVD-ROM 16x";
    m.revision = "1.00";
    m.readProfiles = {kProfileCdRom, kProfileCdR, kProfileCdRw, kProfileDvdRom, kProfileDvdR,
                      kProfileDvdRwRestricted, kProfileDvdRwSequential, kProfileDvdRDl, kProfileDvdPlusRw,
                      kProfileDvdPlusR, kProfileDvdPlusRDl};
    m.realTimeStreaming = true;
    m.bufferKB = 512;
    m.cdReadSpeeds = kCdRead52;
    m.dvdReadSpeeds = kDvdRead16;
    return m;
}

DriveModel BdWriter() {
    DriveModel m = DvdDlWriter();
    m.shortName = "bd-writer";
    m.product = "BD-RE 8x";
    m.revision = "3.01";
    for (uint16_t p : {kProfileBdRom, kProfileBdR, kProfileBdRe}) m.readProfiles.push_back(p);
    for (uint16_t p : {kProfileBdR, kProfileBdRe}) m.writeProfiles.push_back(p);
    m.bdWrite = true;
    m.bufferKB = 4096;
    m.bdWriteSpeeds = kBdWrite8;
    m.bdReadSpeeds = kBdRead8;
    return m;
}

Medium Disc(const char* name, uint16_t profile, DiscState state, uint32_t capacity) {
    Medium m;
    m.shortName = name;
    m.profile = profile;
    m.state = state;
    m.capacityBlocks = capacity;
    m.erasable = profile == kProfileCdRw || profile == kProfileDvdRwRestricted ||
                 profile == kProfileDvdRwSequential || profile == kProfileDvdPlusRw ||
                 profile == kProfileDvdRam || profile == kProfileBdRe;
    return m;
}

RecordedTrack Track(uint16_t session, int32_t start, uint32_t length) {
    RecordedTrack t;
    t.session = session;
    t.start = start;
    t.length = length;
    return t;
}

// An 80-minute CD: the last possible lead-out starts at 79:59:74.
constexpr uint32_t kCd80Blocks = 359849;

const std::vector<std::pair<const char*, std::function<DriveModel()>>>& Models() {
    static const std::vector<std::pair<const char*, std::function<DriveModel()>>> models = {
        {"cdrw-writer", CdrwWriter},
        {"dvd-dl-writer", DvdDlWriter},
        {"dvd-reader", DvdReader},
        {"bd-writer", BdWriter},
    };
    return models;
}

const std::vector<std::pair<const char*, std::function<Medium()>>>& Media() {
    static const std::vector<std::pair<const char*, std::function<Medium()>>> media = {
        {"none", [] { Medium m; m.shortName = "none"; return m; }},
        {"not-ready", [] {
             Medium m = Disc("not-ready", kProfileNone, DiscState::Blank, 0);
             m.notReady = true;
             return m;
         }},
        {"cd-rom", [] {
             Medium m = Disc("cd-rom", kProfileCdRom, DiscState::Closed, 300000);
             m.tracks = {Track(1, 0, 300000)};
             return m;
         }},
        {"cd-r-blank", [] { return Disc("cd-r-blank", kProfileCdR, DiscState::Blank, kCd80Blocks); }},
        {"cd-r-closed", [] {
             Medium m = Disc("cd-r-closed", kProfileCdR, DiscState::Closed, kCd80Blocks);
             m.tracks = {Track(1, 0, 333000)};
             return m;
         }},
        {"cd-r-appendable", [] {
             Medium m = Disc("cd-r-appendable", kProfileCdR, DiscState::Appendable, kCd80Blocks);
             m.tracks = {Track(1, 0, 200000)};
             return m;
         }},
        {"cd-rw-blank", [] {
             Medium m = Disc("cd-rw-blank", kProfileCdRw, DiscState::Blank, kCd80Blocks);
             m.atipDiscSubType = 2;  // high speed
             m.maxWriteSpeed = 4234;
             return m;
         }},
        {"cd-rw-used", [] {
             Medium m = Disc("cd-rw-used", kProfileCdRw, DiscState::Closed, kCd80Blocks);
             m.atipDiscSubType = 2;
             m.maxWriteSpeed = 4234;
             m.tracks = {Track(1, 0, 120000)};
             return m;
         }},
        {"dvd-rom", [] {
             Medium m = Disc("dvd-rom", kProfileDvdRom, DiscState::Closed, 2000000);
             m.tracks = {Track(1, 0, 2000000)};
             return m;
         }},
        {"dvd-r-blank", [] { return Disc("dvd-r-blank", kProfileDvdR, DiscState::Blank, 2298496); }},
        {"dvd-r-dl-blank", [] {
             Medium m = Disc("dvd-r-dl-blank", kProfileDvdRDl, DiscState::Blank, 4171712);
             m.layers = 2;
             m.maxWriteSpeed = 8310;
             return m;
         }},
        {"dvd-rw-sequential", [] {
             Medium m = Disc("dvd-rw-sequential", kProfileDvdRwSequential, DiscState::Blank, 2297888);
             m.maxWriteSpeed = 8310;
             return m;
         }},
        {"dvd-rw-restricted", [] {
             Medium m = Disc("dvd-rw-restricted", kProfileDvdRwRestricted, DiscState::Closed, 2297888);
             m.maxWriteSpeed = 8310;
             return m;
         }},
        {"dvd+r-blank", [] { return Disc("dvd+r-blank", kProfileDvdPlusR, DiscState::Blank, 2295104); }},
        {"dvd+r-dl-blank", [] {
             Medium m = Disc("dvd+r-dl-blank", kProfileDvdPlusRDl, DiscState::Blank, 4173824);
             m.layers = 2;
             m.maxWriteSpeed = 11080;
             return m;
         }},
        {"dvd+rw", [] {
             Medium m = Disc("dvd+rw", kProfileDvdPlusRw, DiscState::Closed, 2295104);
             m.maxWriteSpeed = 11080;
             return m;
         }},
        {"dvd+rw-unformatted", [] {
             Medium m = Disc("dvd+rw-unformatted", kProfileDvdPlusRw, DiscState::Blank, 2295104);
             m.backgroundFormat = 0;
             m.maxWriteSpeed = 11080;
             return m;
         }},
        {"dvd-ram", [] {
             Medium m = Disc("dvd-ram", kProfileDvdRam, DiscState::Closed, 2236704);
             m.maxWriteSpeed = 5540;
             return m;
         }},
        {"bd-r-blank", [] { return Disc("bd-r-blank", kProfileBdR, DiscState::Blank, 12219392); }},
        {"bd-re", [] { return Disc("bd-re", kProfileBdRe, DiscState::Closed, 11826176); }},
        {"hd-dvd-r-blank", [] { return Disc("hd-dvd-r-blank", kProfileHdDvdR, DiscState::Blank, 7331840); }},
    };
    return media;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) {
        if (!out.empty()) out += ", ";
        out += n;
    }
    return out;
}

}  // namespace

std::optional<DriveModel> DriveModelByName(std::string_view name) {
    for (const auto& [n, make] : Models())
        if (name == n) return make();
    return std::nullopt;
}

std::optional<Medium> MediumByName(std::string_view name) {
    for (const auto& [n, make] : Media())
        if (name == n) return make();
    return std::nullopt;
}

std::vector<std::string> DriveModelNames() {
    std::vector<std::string> names;
    for (const auto& entry : Models()) names.emplace_back(entry.first);
    return names;
}

std::vector<std::string> MediumNames() {
    std::vector<std::string> names;
    for (const auto& entry : Media()) names.emplace_back(entry.first);
    return names;
}

bool ParseDriveSet(std::string_view line, std::vector<VirtualDriveSpec>* out, std::string* error) {
    std::vector<VirtualDriveSpec> specs;
    std::string message;
    auto fail = [&](std::string text) {
        if (error != nullptr) *error = std::move(text);
        return false;
    };
    if (Trim(line).empty()) {
        if (out != nullptr) out->clear();
        return true;
    }
    size_t at = 0;
    while (at <= line.size()) {
        const size_t comma = line.find(',', at);
        const std::string_view item =
            Trim(line.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at));
        at = comma == std::string_view::npos ? line.size() + 1 : comma + 1;
        const std::string quoted = "\"" + std::string(item) + "\"";
        if (item.empty()) return fail("empty drive item in the list (two commas, or a comma at an end)");

        std::string_view body = item;
        char letter = 0;
        const size_t atSign = body.find('@');
        if (atSign != std::string_view::npos) {
            const std::string_view letterText = Trim(body.substr(atSign + 1));
            if (letterText.size() != 1 || !std::isalpha(static_cast<unsigned char>(letterText[0])))
                return fail("drive item " + quoted + ": the drive letter after @ must be one letter A-Z");
            letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letterText[0])));
            for (const VirtualDriveSpec& s : specs)
                if (s.driveLetter == letter)
                    return fail("drive item " + quoted + ": drive letter " + std::string(1, letter) +
                                " is given twice");
            body = Trim(body.substr(0, atSign));
        }
        const size_t colon = body.find(':');
        if (colon == std::string_view::npos)
            return fail("drive item " + quoted + " is not model:medium");
        const std::string_view modelName = Trim(body.substr(0, colon));
        const std::string_view mediumName = Trim(body.substr(colon + 1));
        std::optional<DriveModel> model = DriveModelByName(modelName);
        if (!model)
            return fail("drive item " + quoted + ": unknown drive model \"" + std::string(modelName) +
                        "\"; known models: " + JoinNames(DriveModelNames()));
        std::optional<Medium> medium = MediumByName(mediumName);
        if (!medium)
            return fail("drive item " + quoted + ": unknown medium \"" + std::string(mediumName) +
                        "\"; known media: " + JoinNames(MediumNames()));
        specs.push_back(VirtualDriveSpec{std::move(*model), std::move(*medium), letter});
    }
    if (out != nullptr) *out = std::move(specs);
    return true;
}

}  // namespace burnlib
