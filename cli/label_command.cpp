// label: the directory label, date stamps and the label's password; and
// what info and the password checks of the changing commands show of them.
#include <set>

#include "cli.h"
#include "label.h"
#include "passwords.h"
#include "listing.h"
#include "listing.h"
#include "volume.h"

static const struct {
    const char *Word;
    cpm_StampChoice Choice;
} stampWords[] = {{"create", cpm_StampChoice::Create}, {"access", cpm_StampChoice::Access}, {"none", cpm_StampChoice::None}};

int cli_Label(const cli_Parsed &line) {
    const cli_Args &args = line.Operands;
    cpm_LabelChange change;
    std::string stamps;
    bool on = cli_Flag(line, "--update-stamps"), off = cli_Flag(line, "--no-update-stamps");
    if (args.empty() || args.size() > 2 || (on && off)) return cli_UsageOf("label");
    if (cli_Option(line, "--stamps", stamps)) {
        bool known = false;
        for (const auto &w : stampWords)
            if (stamps == w.Word) change.Stamps = w.Choice, known = true;
        if (!known) {
            cli_Err("diskwright-cli: label: --stamps takes create, access or none");
            return cli_UsageOf("label");
        }
    }
    change.UpdateStamps = on ? 1 : off ? 0 : -1;
    change.InitStamps = cli_Flag(line, "--init-stamps");
    change.SetPassword = cli_Option(line, "--password", change.Password);
    if (args.size() == 2) {
        change.SetName = true;
        change.Name = Text(args[1]);
    }
    cpm_Volume v;
    if (!cli_OpenToChange(line, args[0], v)) return cli_Refused;
    cpm_LabelResult r = cpm_SetLabel(std::move(v), change);
    v = std::move(r.Volume);
    if (!r.Message.empty()) {
        cli_Fail(args[0], r.Message);
        return cli_Refused;
    }
    if (!cli_Save(v)) return cli_Refused;
    cpm_Label label = cpm_LabelOf(v);
    cli_Out("Label " + cpm_LabelName(label) + ": " + cpm_LabelFlagsText(label.Flags));
    return cli_Ok;
}

std::vector<std::string> cli_LabelLines(const cpm_Volume &v) {
    std::vector<std::string> lines;
    cpm_Label label = cpm_LabelOf(v);
    if (label.Found) {
        lines.push_back("Label:        " + cpm_LabelName(label));
        lines.push_back("LabelFlags:   " + cpm_LabelFlagsText(label.Flags));
        if (cpm_HasStamp(label.Created)) lines.push_back("LabelMade:    " + cpm_StampText(label.Created));
        if (cpm_HasStamp(label.Updated)) lines.push_back("LabelChanged: " + cpm_StampText(label.Updated));
    }
    cpm_StampRules rules = cpm_StampRulesOf(v);
    if (rules.Stamped) {
        std::string set = rules.SetFirst ? cpm_FirstStampName(v) : "";
        if (rules.SetUpdate) set += std::string(set.empty() ? "" : ", ") + "Updated";
        lines.push_back(std::string("Stamps:       ") + cpm_FirstStampName(v) + ", Updated (set: " +
                        (set.empty() ? "none" : set) + ")");
    }
    return lines;
}

std::string cli_PasswordRefusal(const cli_Parsed &line, const cpm_Volume &v, const Text &name, int user,
                                cpm_Change change, const std::string &shownName) {
    if (!cpm_NeedsPassword(v, name, user, change) || cli_Flag(line, "--force")) return "";
    std::string word;
    if (!cli_Option(line, "--password", word)) return shownName + " is password-protected; use --password WORD or --force";
    return cpm_PasswordMatches(v, name, user, word) ? "" : shownName + ": wrong password";
}

void cli_NoteReadProtected(const cpm_Volume &v, const Text &name, int user) {
    static std::set<std::pair<int, std::string>> noted;
    if (cpm_ProtectionOf(v, name, user) != 'R') return;
    if (noted.insert({user, cpm_DisplayString(name)}).second)
        cli_Err(cli_ShownName(user, name) + ": read-protected; read without its password");
}
