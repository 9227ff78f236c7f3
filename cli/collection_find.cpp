// find: the files matching a CP/M name or pattern in every image under the
// paths, optionally only those whose bytes hold a text.
#include <algorithm>

#include "collection_survey.h"
#include "index_answers.h"
#include "directory.h"
#include "patterns.h"

namespace {

struct Wanted {
    cli_Name Name;
    Text Pattern;            // 12-byte pattern, or the 12-byte name when not a pattern
    bool IsPattern = false;
    std::string Contains;    // "" any bytes
};

// "41 42 0d0a": bytes in hexadecimal, spaces between them allowed.
bool parseHex(const std::string &text, std::string &out) {
    std::string digits;
    for (char c : text)
        if (c != ' ') digits += c;
    if (digits.empty() || digits.size() % 2 != 0 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    for (size_t k = 0; k < digits.size(); k += 2) out += char(std::stoi(digits.substr(k, 2), nullptr, 16));
    return true;
}

bool named(const Wanted &w, const cpm_SurveyFile &f) {
    if (w.Name.User != cli_EveryUser && w.Name.User != f.User) return false;
    return w.IsPattern ? cpm_NameMatches(w.Pattern, f.DisplayName) : f.DisplayName == w.Pattern;
}

bool matches(const Wanted &w, const cpm_SurveyFile &f) {
    if (!named(w, f)) return false;
    if (w.Contains.empty()) return true;
    const auto &bytes = f.Bytes.Elements;
    return std::search(bytes.begin(), bytes.end(), w.Contains.begin(), w.Contains.end()) != bytes.end();
}

std::string stampsText(const cpm_SurveyFile &f) {
    std::string out;
    if (!f.Created.empty()) out += ", created " + f.Created;
    if (!f.Accessed.empty()) out += ", accessed " + f.Accessed;
    if (!f.Updated.empty()) out += ", updated " + f.Updated;
    return out;
}

}  // namespace

int cli_Find(const cli_Parsed &line) {
    const cli_Args &args = line.Operands;
    bool asJson = cli_Flag(line, "--json");
    std::string text, hex;
    bool hasText = cli_Option(line, "--contains", text), hasHex = cli_Option(line, "--contains-hex", hex);
    if (args.size() < 2 || (hasText && hasHex)) return cli_UsageOf("find");
    Wanted w;
    w.Name = cli_ParseName(args.back());
    if (!w.Name.Valid) {
        cli_BadName(args.back());
        return cli_Usage;
    }
    w.IsPattern = cpm_IsPattern(Text(w.Name.Name));
    w.Pattern = w.IsPattern ? cpm_MakePattern(Text(w.Name.Name)) : cpm_MakeName(Text(w.Name.Name));
    if (hasHex && !parseHex(hex, w.Contains)) {
        cli_Err("diskwright-cli: --contains-hex takes bytes in hexadecimal (\"1a 0d0a\"), not '" + hex + "'");
        return cli_Usage;
    }
    if (hasText) w.Contains = text;
    if ((hasText || hasHex) && w.Contains.empty()) return cli_UsageOf("find");
    cli_CollectionOptions options = cli_CollectionOptionsOf(line);
    if (options.Jobs < 0) return cli_UsageOf("find");
    options.WithBytes = !w.Contains.empty();
    options.Hashes = asJson;   // only the JSON shows them
    cli_Walk walk;
    if (!cli_OpenCollection(line, cli_Args(args.begin(), args.end() - 1), options, walk, w.Contains,
                            [&](const cpm_SurveyFile &f) { return named(w, f); }))
        return cli_Refused;
    cli_ReportProblems(walk);
    long found = 0;
    if (asJson) cli_Out("{\"pattern\": " + cli_JsonString(args.back()) + ", \"matches\": [");
    cli_SurveyCollection(
        walk, options,
        [&](cli_Surveyed &r) {
            // Only the matches are kept, and no bytes: memory stays with the pool.
            for (cpm_Survey &s : r.Surveys) {
                std::vector<cpm_SurveyFile> kept;
                for (cpm_SurveyFile &f : s.Files)
                    if (matches(w, f)) {
                        f.Bytes = Text();
                        kept.push_back(std::move(f));
                    }
                s.Files = std::move(kept);
            }
        },
        [&](cli_Surveyed &r) {
            for (const cpm_Survey &s : r.Surveys)
                for (const cpm_SurveyFile &f : s.Files) {
                    if (asJson) {
                        std::string object = cli_SurveyFileJson(f);
                        cli_Out(std::string(found ? ", " : "  ") + "{\"image\": " + cli_JsonString(s.Path) + ", " + object.substr(1));
                    } else {
                        cli_Out(s.Path + ": " + cli_SurveyFileName(f) + ", " + std::to_string(f.Size) +
                                (f.Size == 1 ? " byte" : " bytes") + stampsText(f));
                    }
                    found++;
                }
        });
    if (asJson) cli_Out("]}");
    if (cli_AnyProblem(walk)) return cli_Refused;
    return found > 0 ? cli_Ok : cli_Refused;
}
