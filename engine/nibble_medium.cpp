// The medium of an Apple II 5.25-inch disk read from its disk bytes.
#include "nibble_medium.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace {

size_t indexOf(int t, int id) { return size_t(t * cpm_NibbleSectors + id); }

std::string place(int t, int id) { return "T" + std::to_string(t) + " S" + std::to_string(id); }

// The volume number most address fields carry.
int commonVolume(const std::vector<int> &volumes) {
    std::map<int, int> counts;
    for (int v : volumes) counts[v]++;
    auto most = std::max_element(counts.begin(), counts.end(), [](auto &a, auto &b) { return a.second < b.second; });
    return most == counts.end() ? -1 : most->first;
}

std::string joined(const std::vector<std::string> &items) {
    std::string out;
    for (size_t i = 0; i < items.size() && i < 16; i++) out += (i ? ", " : "") + items[i];
    if (items.size() > 16) out += ", … (" + std::to_string(items.size()) + ")";
    return out;
}

}  // namespace

void cpm_StartNibbleMedium(cpm_Medium &m) {
    m.Sectors.clear();
    m.Bytes = Text(std::vector<uint8_t>(size_t(cpm_NibbleTracks * cpm_NibbleSectors * 256), 0));
    for (int t = 0; t < cpm_NibbleTracks; t++)
        for (int id = 0; id < cpm_NibbleSectors; id++) {
            cpm_Sector s;
            s.Cylinder = t;
            s.Id = id;
            s.Size = 256;
            s.State = cpm_SectorState::Missing;
            s.At = indexOf(t, id) * 256;
            m.Sectors.push_back(s);
        }
    // The physical sectors are named by their address fields: no file order to guess.
    m.OrderNamed = true;
    m.Order = cpm_RawOrder::Dos;
}

bool cpm_PlaceTrack(cpm_Medium &m, int t, const cpm_GcrTrack &track, cpm_NibbleTally &tally) {
    tally.Thirteen += track.Thirteen;
    bool exact = track.BadAddresses == 0;
    int good = 0;
    for (int id = 0; id < cpm_NibbleSectors; id++) {
        const uint8_t *data = nullptr;
        bool found = false, bad = false, differ = false;
        for (const cpm_GcrSector &s : track.Sectors) {
            if (s.Sector != id) continue;
            found = true;
            tally.Volumes.push_back(s.Volume);
            if (!s.HasData) continue;
            if (!s.DataGood) {
                bad = true;
                continue;
            }
            if (data && std::memcmp(data, s.Data, 256) != 0) differ = true;
            data = s.Data;
        }
        cpm_Sector &sector = m.Sectors[indexOf(t, id)];
        if (data && !differ && !bad) {
            sector.State = cpm_SectorState::Good;
            std::copy_n(data, 256, m.Bytes.data() + sector.At);
            good++;
            continue;
        }
        exact = false;
        if (data || bad) {
            sector.State = cpm_SectorState::DataError;
            tally.Bad.push_back(place(t, id));
        } else {
            sector.State = cpm_SectorState::Missing;
            tally.Missing.push_back(place(t, id) + (found ? " (no data field)" : ""));
        }
    }
    if (good == cpm_NibbleSectors) tally.Decoded++;
    if (!exact && tally.FirstUnwritable < 0) tally.FirstUnwritable = t;
    return exact;
}

void cpm_FinishNibbleMedium(cpm_Medium &m, const cpm_NibbleTally &tally) {
    m.Notes.push_back("Tracks decoded: " + std::to_string(tally.Decoded) + " of " + std::to_string(cpm_NibbleTracks));
    int volume = commonVolume(tally.Volumes);
    if (volume >= 0) m.Notes.push_back("Volume number: " + std::to_string(volume));
    if (!tally.Bad.empty()) m.Notes.push_back("Bad checksums: " + joined(tally.Bad));
    if (!tally.Missing.empty() && tally.Missing.size() < size_t(cpm_NibbleTracks * cpm_NibbleSectors))
        m.Notes.push_back("Missing sectors: " + joined(tally.Missing));
    if (tally.Thirteen > 0 && tally.Volumes.empty()) m.Notes.push_back("Disk: 13-sector (DOS 3.2) disk");
    if (tally.FirstUnwritable >= 0 && m.Unsaveable.empty())
        m.Unsaveable = "Track " + std::to_string(tally.FirstUnwritable) + " cannot be rewritten: opened read-only.";
    m.Kept.push_back(m.Bytes);   // the sectors as decoded
}

bool cpm_TrackChanged(const cpm_Medium &m, const Text &decoded, int t) {
    size_t from = indexOf(t, 0) * 256, n = size_t(cpm_NibbleSectors) * 256;
    if (m.Bytes.size() < from + n || decoded.size() < from + n) return false;
    return !std::equal(m.Bytes.data() + from, m.Bytes.data() + from + n, decoded.data() + from);
}

void cpm_RewriteTrack(const cpm_Medium &m, const Text &decoded, int t, const cpm_GcrTrack &track,
                      const std::function<void(uint32_t, uint8_t)> &put) {
    for (const cpm_GcrSector &s : track.Sectors) {
        if (s.Sector < 0 || s.Sector >= cpm_NibbleSectors || !s.HasData || s.DataAt.size() != 343) continue;
        size_t at = indexOf(t, s.Sector) * 256;
        if (std::equal(m.Bytes.data() + at, m.Bytes.data() + at + 256, decoded.data() + at)) continue;
        uint8_t values[343];
        cpm_Encode62(m.Bytes.data() + at, values);
        for (size_t k = 0; k < 343; k++) put(s.DataAt[k], values[k]);
    }
}

int cpm_PhysicalTracks(const cpm_Medium &sectors) {
    int tracks = cpm_NibbleTracks;
    for (const cpm_Sector &s : sectors.Sectors) tracks = std::max(tracks, s.Cylinder + 1);
    return tracks;
}

Text cpm_PhysicalTrack(const cpm_Medium &sectors, int t) {
    Text out(std::vector<uint8_t>(size_t(cpm_NibbleSectors) * 256, 0));
    for (const cpm_Sector &s : sectors.Sectors) {
        if (s.Cylinder != t || s.Head != 0 || s.Id < 0 || s.Id >= cpm_NibbleSectors || s.Size != 256) continue;
        if (s.State != cpm_SectorState::Good || s.At + 256 > sectors.Bytes.size()) continue;
        std::copy_n(sectors.Bytes.data() + s.At, 256, out.data() + size_t(s.Id) * 256);
    }
    return out;
}
