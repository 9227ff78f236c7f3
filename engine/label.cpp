// The directory label, and preparing a directory for date stamps.
#include "label.h"

#include <algorithm>
#include <array>

#include "directory.h"
#include "entries.h"
#include "passwords.h"

cpm_Label cpm_LabelOf(const cpm_Volume &volume) {
    cpm_Label label;
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        if (e[0] != cpm_LabelUser) continue;
        label.Found = true;
        label.Entry = i;
        label.Name = cpm_RawName(e, false);
        label.Flags = e[12];
        label.HasPassword = std::any_of(e + 16, e + 24, [](uint8_t b) { return b != 0; });
        label.Created = cpm_ReadValidStamp(e + 24);
        label.Updated = cpm_ReadValidStamp(e + 28);
        break;
    }
    return label;
}

std::string cpm_LabelName(const cpm_Label &label) {
    std::string name = t_TextToString(label.Name);
    auto trimmed = [](std::string part) {
        while (!part.empty() && part.back() == ' ') part.pop_back();
        return part;
    };
    std::string base = trimmed(name.substr(0, name.find('.'))), type = trimmed(name.substr(name.find('.') + 1));
    // A name of all eleven characters ("UNLABELED  ") reads as one word.
    if (type.empty()) return base;
    return base.size() == 8 ? base + type : base + "." + type;
}

std::string cpm_LabelFlagsText(uint8_t flags) {
    static const struct {
        uint8_t Bit;
        const char *Name;
    } names[] = {{cpm_PasswordsBit, "passwords"},
                 {cpm_CreateStampsBit, "create stamps"},
                 {cpm_AccessStampsBit, "access stamps"},
                 {cpm_UpdateStampsBit, "update stamps"}};
    std::string text;
    for (const auto &n : names)
        if (flags & n.Bit) text += (text.empty() ? "" : ", ") + std::string(n.Name);
    return text.empty() ? "none" : text;
}

std::string cpm_TooFullForStampsMessage(int entries) {
    return "Directory too full for date stamps: free " + std::to_string(entries) + " entr" +
           (entries == 1 ? "y." : "ies.");
}

// One entry that keeps its place in the order of the directory: its bytes
// and its stamps.
struct Kept {
    std::array<uint8_t, cpm_EntrySize> Bytes;
    std::array<uint8_t, cpm_StampBytes> Stamps;
};

static Kept keptEntry(const cpm_Volume &volume, int i) {
    Kept k{};
    const uint8_t *e = cpm_EntryBytes(volume, i);
    std::copy_n(e, cpm_EntrySize, k.Bytes.begin());
    if (const uint8_t *s = cpm_StampBytesOf(volume, i)) std::copy_n(s, cpm_StampBytes, k.Stamps.begin());
    return k;
}

// Every fourth entry becomes a stamp entry (user 0x21, zero stamps); the
// other entries, label first, fill the remaining slots in the order they
// had, each with its stamps, so that every file keeps its blocks and the
// order of its extents.  Erased entries are dropped.
static std::string initStamps(cpm_Volume &volume) {
    int present = cpm_PresentEntries(volume);
    std::vector<Kept> entries;
    int labelAt = -1;
    for (int i = 0; i < present; i++) {
        uint8_t user = cpm_EntryBytes(volume, i)[0];
        if (user == cpm_ErasedUser || user == cpm_StampUser) continue;
        if (user == cpm_LabelUser) {
            if (labelAt >= 0) continue;   // a second label is none
            labelAt = int(entries.size());
        }
        entries.push_back(keptEntry(volume, i));
    }
    if (labelAt > 0) std::rotate(entries.begin(), entries.begin() + labelAt, entries.begin() + labelAt + 1);
    if (labelAt < 0) {
        Kept label{};
        label.Bytes.fill(0);
        label.Bytes[0] = cpm_LabelUser;
        std::fill(label.Bytes.begin() + 1, label.Bytes.begin() + 12, uint8_t(' '));
        label.Bytes[12] = cpm_LabelExistsBit;
        cpm_Stamp now = cpm_NowStamp();
        cpm_PutStamp(label.Bytes.data() + 24, now);
        cpm_PutStamp(label.Bytes.data() + 28, now);
        entries.insert(entries.begin(), label);
    }
    int slots = present - present / 4;
    if (int(entries.size()) > slots) return cpm_TooFullForStampsMessage(int(entries.size()) - slots);
    size_t next = 0;
    for (int i = 0; i < present; i++) {
        uint8_t *e = cpm_EntryBytes(volume, i);
        std::fill(e, e + cpm_EntrySize, i % 4 == 3 ? uint8_t(0) : cpm_ErasedUser);
        if (i % 4 == 3) e[0] = cpm_StampUser;
    }
    for (int i = 0; i < present && next < entries.size(); i++) {
        if (i % 4 == 3) continue;
        std::copy(entries[next].Bytes.begin(), entries[next].Bytes.end(), cpm_EntryBytes(volume, i));
        if (uint8_t *s = cpm_StampBytesOf(volume, i)) std::copy(entries[next].Stamps.begin(), entries[next].Stamps.end(), s);
        next++;
    }
    return "";
}

// Some entry of users 16-31 reserves blocks: turning passwords on would
// read it as a password entry and free its blocks.
static bool holdsReservations(const cpm_Volume &volume) {
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++)
        if (cpm_IsReservation(volume, i, false)) return true;
    return false;
}

cpm_LabelResult cpm_SetLabel(cpm_Volume volume, const cpm_LabelChange &change) {
    if (cpm_Refused(volume)) {
        std::string refusal = volume.Refusal;
        return {std::move(volume), refusal};
    }
    if (change.SetPassword && !cpm_PasswordsOn(volume) && holdsReservations(volume))
        return {std::move(volume), "Entries of users 16-31 reserve blocks: passwords would free them."};
    cpm_Volume before = volume;
    if (change.InitStamps) {
        std::string refused = initStamps(volume);
        if (!refused.empty()) return {std::move(before), refused};
    }
    cpm_Stamp now = cpm_NowStamp();
    cpm_Label label = cpm_LabelOf(volume);
    uint8_t *e = nullptr;
    if (label.Found) {
        e = cpm_EntryBytes(volume, label.Entry);
    } else {
        int present = cpm_PresentEntries(volume);
        for (int i = 0; i < present && !e; i++)
            if (cpm_EntryBytes(volume, i)[0] == cpm_ErasedUser) e = cpm_EntryBytes(volume, i);
        if (!e) return {std::move(before), "Directory full."};
        std::fill(e, e + cpm_EntrySize, uint8_t(0));
        e[0] = cpm_LabelUser;
        std::fill(e + 1, e + 12, uint8_t(' '));
        cpm_PutStamp(e + 24, now);
    }
    e[12] |= cpm_LabelExistsBit;
    // A label without a real date of making (mkfs.cpm leaves 0xE5 there) gets today's.
    if (!cpm_ValidStamp(e + 24)) cpm_PutStamp(e + 24, now);
    if (change.SetName) {
        Text name = cpm_MakeName(change.Name);
        std::copy_n(name.data(), 8, e + 1);
        std::copy_n(name.data() + 9, 3, e + 9);
    }
    const uint8_t firstBits = cpm_CreateStampsBit | cpm_AccessStampsBit;
    // A directory prepared for stamps gets create stamps unless the label
    // already asks for some.
    if (change.InitStamps && change.Stamps == cpm_StampChoice::Keep && !(e[12] & firstBits)) e[12] |= cpm_CreateStampsBit;
    if (change.Stamps != cpm_StampChoice::Keep) {
        e[12] &= uint8_t(~firstBits);
        if (change.Stamps == cpm_StampChoice::Create) e[12] |= cpm_CreateStampsBit;
        if (change.Stamps == cpm_StampChoice::Access) e[12] |= cpm_AccessStampsBit;
    }
    if (change.UpdateStamps == 0) e[12] &= uint8_t(~cpm_UpdateStampsBit);
    if (change.UpdateStamps == 1) e[12] |= cpm_UpdateStampsBit;
    if (change.SetPassword) {
        cpm_PutPassword(e, change.Password);
        e[12] |= cpm_PasswordsBit;
    }
    cpm_PutStamp(e + 28, now);
    volume.Changed = true;
    return {cpm_Rebuild(std::move(volume)), ""};
}
