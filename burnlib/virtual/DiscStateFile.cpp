#include "burnlib/virtual/DiscStateFile.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <vector>

namespace burnlib {

namespace {

constexpr std::string_view kMagic = "quillfire-virtual-disc 1";

const char* StateName(DiscState state) {
    switch (state) {
    case DiscState::Blank: return "blank";
    case DiscState::Appendable: return "appendable";
    case DiscState::Closed: return "closed";
    }
    return "blank";
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r')) ++at;
        size_t end = at;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r') ++end;
        if (end > at) words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

template <typename T>
bool Number(std::string_view word, T* out) {
    auto [next, error] = std::from_chars(word.data(), word.data() + word.size(), *out);
    return error == std::errc() && next == word.data() + word.size();
}

}  // namespace

std::string DescribeMediumState(const Medium& m) {
    std::ostringstream out;
    out << kMagic << "\n";
    out << "medium " << (m.shortName.empty() ? "-" : m.shortName) << "\n";
    out << "profile " << m.profile << "\n";
    out << "state " << StateName(m.state) << "\n";
    out << "capacity " << m.capacityBlocks << "\n";
    out << "erasable " << (m.erasable ? 1 : 0) << "\n";
    out << "atip " << m.atipLeadInStart << " " << m.atipLastLeadOut << " " << int{m.atipDiscSubType} << "\n";
    out << "sessionopen " << (m.lastSessionOpen ? 1 : 0) << "\n";
    out << "bgformat " << int{m.backgroundFormat} << "\n";
    out << "layers " << int{m.layers} << "\n";
    out << "maxwritespeed " << m.maxWriteSpeed << "\n";
    out << "minimalblank " << (m.minimalBlank ? 1 : 0) << "\n";
    for (const RecordedTrack& t : m.tracks)
        out << "track " << t.session << " " << t.start << " " << t.length << " " << int{t.control} << " "
            << int{t.dataMode} << " " << (t.complete ? 1 : 0) << " " << t.reserved << " " << (t.incremental ? 1 : 0)
            << "\n";
    return out.str();
}

bool ParseMediumState(std::string_view text, Medium* out, std::string* error) {
    Medium m;
    int lineNumber = 0;
    bool sawMagic = false;
    auto fail = [&](const std::string& why) {
        if (error != nullptr) *error = "line " + std::to_string(lineNumber) + ": " + why;
        return false;
    };
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        const std::vector<std::string_view> w = Words(line);
        if (w.empty()) continue;
        if (!sawMagic) {
            if (w.size() != 2 || w[0] != "quillfire-virtual-disc" || w[1] != "1")
                return fail("not a virtual disc state (version 1)");
            sawMagic = true;
            continue;
        }
        const std::string_view key = w[0];
        bool ok = true;
        unsigned flag = 0, small = 0;
        if (key == "medium" && w.size() == 2) {
            m.shortName = w[1] == "-" ? std::string() : std::string(w[1]);
        } else if (key == "profile" && w.size() == 2) {
            ok = Number(w[1], &m.profile);
        } else if (key == "state" && w.size() == 2) {
            if (w[1] == "blank")
                m.state = DiscState::Blank;
            else if (w[1] == "appendable")
                m.state = DiscState::Appendable;
            else if (w[1] == "closed")
                m.state = DiscState::Closed;
            else
                ok = false;
        } else if (key == "capacity" && w.size() == 2) {
            ok = Number(w[1], &m.capacityBlocks);
        } else if (key == "erasable" && w.size() == 2) {
            ok = Number(w[1], &flag) && flag <= 1;
            m.erasable = flag == 1;
        } else if (key == "atip" && w.size() == 4) {
            ok = Number(w[1], &m.atipLeadInStart) && Number(w[2], &m.atipLastLeadOut) && Number(w[3], &small) &&
                 small < 8;
            m.atipDiscSubType = static_cast<uint8_t>(small);
        } else if (key == "sessionopen" && w.size() == 2) {
            ok = Number(w[1], &flag) && flag <= 1;
            m.lastSessionOpen = flag == 1;
        } else if (key == "bgformat" && w.size() == 2) {
            ok = Number(w[1], &small) && small <= 3;
            m.backgroundFormat = static_cast<uint8_t>(small);
        } else if (key == "layers" && w.size() == 2) {
            ok = Number(w[1], &small) && small >= 1 && small <= 2;
            m.layers = static_cast<uint8_t>(small);
        } else if (key == "maxwritespeed" && w.size() == 2) {
            ok = Number(w[1], &m.maxWriteSpeed);
        } else if (key == "minimalblank" && w.size() == 2) {
            ok = Number(w[1], &flag) && flag <= 1;
            m.minimalBlank = flag == 1;
        } else if (key == "track" && w.size() == 9) {
            RecordedTrack t;
            unsigned control = 0, mode = 0, complete = 0, incremental = 0;
            ok = Number(w[1], &t.session) && Number(w[2], &t.start) && Number(w[3], &t.length) &&
                 Number(w[4], &control) && Number(w[5], &mode) && Number(w[6], &complete) &&
                 Number(w[7], &t.reserved) && Number(w[8], &incremental) && t.session >= 1 && control < 16 &&
                 mode < 16 && complete <= 1 && incremental <= 1 && m.tracks.size() < 99;
            t.control = static_cast<uint8_t>(control);
            t.dataMode = static_cast<uint8_t>(mode);
            t.complete = complete == 1;
            t.incremental = incremental == 1;
            if (ok && !m.tracks.empty() && (t.session < m.tracks.back().session || t.start < m.tracks.back().End()))
                return fail("tracks out of order");
            m.tracks.push_back(t);
        } else {
            return fail("unknown or malformed line '" + std::string(line) + "'");
        }
        if (!ok) return fail("bad value in '" + std::string(line) + "'");
    }
    if (!sawMagic) return fail("empty");
    if (m.profile == kProfileNone) return fail("no profile");
    if (m.state == DiscState::Blank && !m.tracks.empty()) return fail("a blank disc with tracks");
    *out = std::move(m);
    return true;
}

bool SaveMediumState(const std::filesystem::path& path, const Medium& medium, std::string* error) {
    // Written beside and renamed over, so a crash never leaves half a state.
    const std::filesystem::path temporary = path.string() + ".new";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << DescribeMediumState(medium);
        file.flush();
        if (!file) {
            if (error != nullptr) *error = "cannot write " + temporary.string();
            return false;
        }
    }
    std::error_code code;
    std::filesystem::rename(temporary, path, code);
    if (code) {
        if (error != nullptr) *error = "cannot replace " + path.string() + ": " + code.message();
        return false;
    }
    return true;
}

bool LoadMediumState(const std::filesystem::path& path, Medium* out, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error != nullptr) *error = "cannot open " + path.string();
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    std::string why;
    if (!ParseMediumState(text.str(), out, &why)) {
        if (error != nullptr) *error = path.string() + ": " + why;
        return false;
    }
    return true;
}

}  // namespace burnlib
