// ImageDisk: sector records of type 0 (no data), 1/2 (normal, full or one
// fill byte), 3/4 (deleted-data mark), 5/6 (data error), 7/8 (deleted and
// error); odd types hold the whole sector, even ones a single byte.
// Tracks of different modes (an FM boot track before MFM data tracks) and
// different sector sizes are simply sectors of their own size.
#include "codec_imd.h"

#include <algorithm>
#include <cstring>

namespace {

struct Placed {
    cpm_Sector Sector;
    size_t Record = 0;       // where its record (the type byte) lies in the file
    size_t End = 0;          // the end of its record
    uint8_t Type = 0;
};

// The sector data a record holds, expanded.
Text expand(const Text &file, const Placed &p) {
    size_t size = size_t(p.Sector.Size);
    if (p.Type == 0) return Text(std::vector<uint8_t>(size, 0xE5));
    if (p.Type % 2 == 0) return Text(std::vector<uint8_t>(size, file[p.Record + 1]));
    return Text(std::vector<uint8_t>(file.data() + p.Record + 1, file.data() + p.Record + 1 + size));
}

cpm_SectorState stateOf(uint8_t type) {
    if (type == 0) return cpm_SectorState::Missing;
    if (type >= 5) return cpm_SectorState::DataError;
    if (type >= 3) return cpm_SectorState::Deleted;
    return cpm_SectorState::Good;
}

// The end of the header (the 0x1A byte), or 0 when there is none.
size_t headerEnd(const Text &file) {
    const uint8_t *end = std::find(file.data(), file.data() + file.size(), uint8_t(0x1A));
    return end == file.data() + file.size() ? 0 : size_t(end - file.data());
}

// Every sector of the file, in file order; "" or what is wrong.
std::string walk(const Text &file, std::vector<Placed> &out) {
    size_t at = headerEnd(file);
    if (at == 0) return "its comment has no end (0x1A)";
    at++;
    int track = 0;
    while (at < file.size()) {
        std::string where = "track record " + std::to_string(track);
        if (at + 5 > file.size()) return where + " is cut short";
        uint8_t mode = file[at], cylinder = file[at + 1], head = file[at + 2], count = file[at + 3], code = file[at + 4];
        if (mode > 5) return where + " has mode " + std::to_string(mode);
        if (code > 6) return where + " has size code " + std::to_string(code);
        size_t maps = size_t(count) * (1 + ((head & 0x80) ? 1 : 0) + ((head & 0x40) ? 1 : 0));
        size_t ids = at + 5;
        at = ids + maps;
        if (at > file.size()) return where + " is cut short";
        for (unsigned k = 0; k < count; k++) {
            if (at >= file.size()) return where + " is cut short";
            Placed p;
            p.Type = file[at];
            if (p.Type > 8) return where + " has a sector record of type " + std::to_string(p.Type);
            p.Sector.Cylinder = cylinder;
            p.Sector.Head = head & 0x01;
            p.Sector.Id = file[ids + k];
            p.Sector.Size = 128 << code;
            p.Sector.State = stateOf(p.Type);
            p.Record = at;
            p.End = at + (p.Type == 0 ? 1 : p.Type % 2 ? 1 + size_t(p.Sector.Size) : 2);
            if (p.End > file.size()) return where + " is cut short";
            at = p.End;
            out.push_back(p);
        }
        track++;
    }
    return "";
}

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

}  // namespace

bool cpm_ClaimsImd(const Text &file) { return file.size() >= 4 && std::memcmp(file.data(), "IMD ", 4) == 0; }

std::string cpm_DecodeImd(Text file, cpm_Medium &m) {
    std::vector<Placed> placed;
    std::string error = walk(file, placed);
    // The signature is the container's own: a damaged one is refused, not read as raw bytes.
    if (!error.empty()) return cpm_Damaged(m, error);
    cpm_AppendSectors(m, placed, [&](const Placed &p, std::vector<uint8_t> &bytes) {
        Text data = expand(file, p);
        bytes.insert(bytes.end(), data.Elements.begin(), data.Elements.end());
    });
    std::string header(file.data(), file.data() + headerEnd(file));
    size_t line = header.find_first_of("\r\n");
    m.Notes.push_back("Creator: " + trimmed(header.substr(0, line)));
    std::string comment = line == std::string::npos ? "" : header.substr(line);
    comment.erase(0, std::min(comment.find_first_not_of("\r\n"), comment.size()));
    if (!trimmed(comment).empty()) m.Notes.push_back("Comment: " + trimmed(comment));
    cpm_KeepFile(m, std::move(file));
    return "";
}

Text cpm_EncodeImd(const cpm_Medium &m) {
    if (m.Kept.empty()) return Text();
    const Text &file = m.Kept[0];
    std::vector<Placed> placed;
    walk(file, placed);
    Text out;
    size_t from = 0;
    auto copy = [&](size_t a, size_t b) { out.Elements.insert(out.Elements.end(), file.data() + a, file.data() + b); };
    for (size_t k = 0; k < placed.size() && k < m.Sectors.size(); k++) {
        const Placed &p = placed[k];
        const cpm_Sector &s = m.Sectors[k];
        copy(from, p.Record);
        from = p.End;
        bool inside = s.At + size_t(s.Size) <= m.Bytes.size();
        const uint8_t *now = inside ? m.Bytes.data() + s.At : nullptr;
        if (p.Type == 0 || !inside || std::equal(now, now + s.Size, expand(file, p).data())) {
            copy(p.Record, p.End);
            continue;
        }
        if (std::all_of(now, now + s.Size, [&](uint8_t b) { return b == now[0]; })) {
            out.push_back(2);
            out.push_back(now[0]);
        } else {
            out.push_back(1);
            out.Elements.insert(out.Elements.end(), now, now + s.Size);
        }
    }
    copy(from, file.size());
    return out;
}
