// The date columns and protection marks of the long listing.
#include "stamp_columns.h"

#include "entries.h"
#include "passwords.h"
#include "stamps.h"

std::string cpm_ProtectionNote(const cpm_Volume &volume, int entry) {
    if (entry < 0 || entry >= cpm_PresentEntries(volume)) return "";
    const uint8_t *e = cpm_EntryBytes(volume, entry);
    char protection = cpm_ProtectionOf(volume, cpm_RawName(e, false), e[0]);
    return protection ? std::string("  (") + protection + " protection)" : "";
}

const char *cpm_FirstStampName(const cpm_Volume &volume) {
    return cpm_StampRulesOf(volume).First == cpm_FirstStamp::Access ? "Accessed" : "Created";
}

constexpr int dateWidth = 16;   // "1999-12-31 23:59"

static std::string column(const cpm_Stamp &stamp) {
    std::string text = cpm_StampText(stamp);
    return text.empty() ? std::string(dateWidth, ' ') : text;
}

void cpm_AddStampColumns(const cpm_Volume &volume, std::vector<cpm_ListingLine> &lines,
                         const std::vector<std::pair<size_t, int>> &rows) {
    if (!cpm_StampRulesOf(volume).Stamped || rows.empty()) return;
    int width = 0;
    for (const auto &row : rows) width = std::max(width, t_Length(lines[row.first].Text));
    for (const auto &row : rows) {
        cpm_ListingLine &line = lines[row.first];
        cpm_FileStamps stamps = cpm_StampsOf(volume, row.second);
        std::string dates = column(stamps.First) + "  " + column(stamps.Updated);
        while (!dates.empty() && dates.back() == ' ') dates.pop_back();
        if (!dates.empty()) line.Text += std::string(size_t(width - t_Length(line.Text) + 2), ' ') + dates;
    }
    // The heading names the columns in their order, starting over the first.
    std::string heading = std::string(size_t(width + 2), ' ') + cpm_FirstStampName(volume) + "  Updated";
    lines.insert(lines.begin() + long(rows.front().first), cpm_ListingLine{heading, {}});
}
