// Directory scores: each entry judged by its own fields and by the blocks
// the others claim.
#include "scores.h"

#include <algorithm>
#include <vector>

#include "entry.h"

bool cpm_PossibleFile(const uint8_t *e, const cpm_DirectoryShape &shape) {
    for (int k = 1; k <= 11; k++)
        if ((e[k] & 0x7F) < 0x20) return false;
    if (e[12] > cpm_ExMask || e[14] > cpm_S2Mask || e[15] > 128) return false;
    for (int k = 0; k < cpm_SlotCount(shape.Wide); k++) {
        int b = cpm_SlotBlock(e, shape.Wide, k);
        if (b != 0 && (b < shape.DirBlocks || b >= shape.BlockLimit)) return false;
    }
    return true;
}

cpm_Score cpm_ScoreDirectory(const uint8_t *dir, const cpm_DirectoryShape &shape) {
    cpm_Score score;
    bool label = false;
    for (int i = 0; i < shape.Entries; i++) label = label || dir[i * cpm_EntrySize] == cpm_LabelUser;
    std::vector<uint8_t> good(size_t(std::max(shape.Entries, 0)), 0);
    std::vector<int> claims(size_t(std::max(shape.BlockLimit, 0)), 0);
    bool labelSeen = false;
    for (int i = 0; i < shape.Entries; i++) {
        const uint8_t *e = dir + i * cpm_EntrySize;
        uint8_t user = e[0];
        if (user == cpm_ErasedUser) continue;
        // Without a label, users 16-31 may reserve blocks; a reservation
        // counts as good only as user 31 writes it, well formed.
        cpm_EntryKind kind = cpm_KindOfUser(user, !label);
        bool holdsBlocks = (kind == cpm_EntryKind::File ||
                            (kind == cpm_EntryKind::Reservation && user == cpm_ReservationUser)) &&
                           cpm_PossibleFile(e, shape);
        bool ok = holdsBlocks || kind == cpm_EntryKind::Password || (kind == cpm_EntryKind::Label && !labelSeen) ||
                  (kind == cpm_EntryKind::Stamps && i % 4 == 3);
        labelSeen = labelSeen || kind == cpm_EntryKind::Label;
        good[size_t(i)] = ok ? (holdsBlocks ? 2 : 1) : 0;
        if (holdsBlocks)
            for (int k = 0; k < cpm_SlotCount(shape.Wide); k++)
                if (int b = cpm_SlotBlock(e, shape.Wide, k)) claims[size_t(b)]++;
    }
    for (int i = 0; i < shape.Entries; i++) {
        const uint8_t *e = dir + i * cpm_EntrySize;
        if (e[0] == cpm_ErasedUser) continue;
        bool ok = good[size_t(i)] != 0;
        if (good[size_t(i)] == 2)
            for (int k = 0; k < cpm_SlotCount(shape.Wide); k++)
                if (int b = cpm_SlotBlock(e, shape.Wide, k); b && claims[size_t(b)] > 1) ok = false;
        (ok ? score.Good : score.Bad)++;
        if (!ok && good[size_t(i)] == 2 && cpm_KindOfUser(e[0], false) == cpm_EntryKind::File) score.Crossed++;
    }
    return score;
}

bool cpm_Plausible(cpm_Score s) { return s.Bad == 0 || (s.Good >= 4 && s.Bad * 8 <= s.Good); }

bool cpm_CrossLinked(cpm_Score s) {
    return s.Crossed > 0 && cpm_Plausible({s.Good + s.Crossed, s.Bad - s.Crossed, 0});
}
