// convert: an image written again as another kind of image file.
#include "cli.h"
#include "convert.h"
#include "volume.h"

namespace {

std::string kindNames() {
    std::string names;
    for (int k = 0; k < cpm_KindCount; k++) names += (k ? ", " : "") + std::string(cpm_Kinds[k].Name);
    return names;
}

std::string hex2(int v) {
    const char *digits = "0123456789ABCDEF";
    return std::string{digits[(v >> 4) & 15], digits[v & 15]};
}

}  // namespace

int cli_Convert(const cli_Parsed &line) {
    const cli_Args &args = line.Operands;
    if (args.size() != 2) return cli_UsageOf("convert");
    std::string to;
    const cpm_Kind *kind = nullptr;
    if (cli_Option(line, "--to", to)) {
        kind = cpm_KindNamed(to);
        if (!kind) {
            cli_Fail(args[1], "unknown kind " + to + " (" + kindNames() + ")");
            return cli_Usage;
        }
    } else {
        std::vector<const cpm_Kind *> kinds = cpm_KindsOfPath(args[1]);
        if (kinds.size() != 1) {
            cli_Fail(args[1], std::string(kinds.empty() ? "kind unknown from its name" : "kind unclear from its name") +
                                  ": give --to KIND (" + kindNames() + ")");
            return cli_Usage;
        }
        kind = kinds[0];
    }
    cpm_Volume v;
    if (!cli_OpenToRead(line, args[0], v)) return cli_Refused;
    cpm_Medium sectors = cpm_ExplicitSectors(v);
    if (sectors.Sectors.empty()) {
        cli_Fail(args[0], v.Refusal.empty() ? "no sectors to convert" : v.Refusal);
        return cli_Refused;
    }
    // Sectors that could not be read never become plain bytes unsaid.
    std::vector<cpm_Sector *> unreadable;
    for (cpm_Sector &s : sectors.Sectors)
        if (s.State == cpm_SectorState::Missing || s.State == cpm_SectorState::DataError) unreadable.push_back(&s);
    if (!unreadable.empty() && !kind->MarksUnreadable) {
        if (!cli_Flag(line, "--fill-unreadable")) {
            cli_Fail(args[0], std::to_string(unreadable.size()) + " sectors unreadable; " + kind->Name +
                                  " cannot mark them (--fill-unreadable fills them with 0xE5)");
            return cli_Refused;
        }
        for (cpm_Sector *s : unreadable) {
            std::fill_n(sectors.Bytes.data() + s->At, s->Size, cpm_ErasedUser);
            s->State = cpm_SectorState::Good;
            cli_Err("diskwright-cli: " + args[0] + ": cylinder " + std::to_string(s->Cylinder) + " head " +
                    std::to_string(s->Head) + " sector " + hex2(s->Id) + " unreadable: filled with 0xE5");
        }
    }
    Text bytes = kind->Make(sectors);
    if (bytes.empty()) {
        cli_Fail(args[1], std::string("the sectors of ") + args[0] + " do not fit a " + kind->Name + " image");
        return cli_Refused;
    }
    if (!cli_WriteNewImage(args[1], bytes, cli_Flag(line, "--force"))) return cli_Refused;
    cli_Out(t_PathFileName(args[0]) + " converted to " + t_PathFileName(args[1]) + " (" + kind->Name + ", " +
            std::to_string(sectors.Sectors.size()) + " sectors).");
    return cli_Ok;
}
