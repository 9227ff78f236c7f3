// NIB and NB2 files: no header, 35 tracks of disk bytes, track 0 first.
// Gaps may hold bytes without bit 7 (slack filled with 00); the fields are
// searched across the end of each track, which is circular.
#include "codec_nib.h"

#include "apple_gcr.h"
#include "nibble_medium.h"

namespace {

size_t trackLength(size_t bytes) {
    return bytes == cpm_NibTrackBytes * cpm_NibbleTracks   ? cpm_NibTrackBytes
           : bytes == cpm_Nb2TrackBytes * cpm_NibbleTracks ? cpm_Nb2TrackBytes
                                                           : 0;
}

// Disk bytes, not sector data: an address prologue in the first track.
bool holdsFields(const Text &file, size_t length) {
    for (size_t i = 0; i + 2 < length; i++)
        if (file[i] == 0xD5 && file[i + 1] == 0xAA && (file[i + 2] == 0x96 || file[i + 2] == 0xB5)) return true;
    return false;
}

cpm_GcrTrack decoded(const Text &nibbles, size_t length, int t, bool positions) {
    const uint8_t *at = nibbles.data() + size_t(t) * length;
    return cpm_DecodeGcrTrack(cpm_NibblesOfBytes(at, length, 2, cpm_WrapNibbles), positions);
}

}  // namespace

bool cpm_ClaimsNib(const Text &file) {
    return file.size() == cpm_NibTrackBytes * cpm_NibbleTracks && holdsFields(file, cpm_NibTrackBytes);
}

bool cpm_ClaimsNb2(const Text &file) {
    return file.size() == cpm_Nb2TrackBytes * cpm_NibbleTracks && holdsFields(file, cpm_Nb2TrackBytes);
}

std::string cpm_DecodeNib(Text nibbles, cpm_Medium &m) {
    size_t length = trackLength(nibbles.size());
    if (length == 0) return "not 35 tracks of disk bytes";
    m.Notes.push_back("Track length: " + std::to_string(length) + " bytes");
    cpm_StartNibbleMedium(m);
    cpm_NibbleTally tally;
    for (int t = 0; t < cpm_NibbleTracks; t++) cpm_PlaceTrack(m, t, decoded(nibbles, length, t, false), tally);
    m.Kept.push_back(std::move(nibbles));
    cpm_FinishNibbleMedium(m, tally);
    return "";
}

std::string cpm_DecodeNibFile(Text file, cpm_Medium &m) { return cpm_DecodeNib(std::move(file), m); }

Text cpm_EncodeNib(const cpm_Medium &m, size_t from) {
    if (m.Kept.size() < from + 2) return m.Kept.size() > from ? m.Kept[from] : Text();
    Text nibbles = m.Kept[from];
    const Text &before = m.Kept[from + 1];
    size_t length = trackLength(nibbles.size());
    for (int t = 0; length && t < cpm_NibbleTracks; t++) {
        if (!cpm_TrackChanged(m, before, t)) continue;
        uint8_t *track = nibbles.data() + size_t(t) * length;
        cpm_RewriteTrack(m, before, t, decoded(nibbles, length, t, true),
                         [&](uint32_t at, uint8_t value) { track[at / 8] = value; });
    }
    return nibbles;
}

Text cpm_EncodeNibFile(const cpm_Medium &m) { return cpm_EncodeNib(m, 0); }

Text cpm_MakeNib(const cpm_Medium &sectors) {
    Text file;
    for (int t = 0; t < cpm_NibbleTracks; t++) {
        Text physical = cpm_PhysicalTrack(sectors, t);
        cpm_TrackBytes track = cpm_StandardTrack(254, t, physical.data(), 48, 6, 27);
        track.Bytes.Elements.resize(cpm_NibTrackBytes, 0xFF);
        file.Elements.insert(file.Elements.end(), track.Bytes.Elements.begin(), track.Bytes.Elements.end());
    }
    return file;
}
