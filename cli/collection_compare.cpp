// diff: the files of two images compared by name and bytes; dups: the files
// and the images that are the same across a collection.
#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "collection_survey.h"
#include "index_answers.h"

namespace {

using FileKey = std::pair<int, std::string>;   // user, name

// The image at the path surveyed, or false (and the reason) when it is none.
bool surveyOne(const std::string &path, cpm_Survey &s) {
    s = cpm_SurveyImage(path);
    std::string why = !s.IsImage ? (s.NotImage.empty() ? "not a disk image" : "not a disk image (" + s.NotImage + ")")
                      : s.Health == "not CP/M" || s.Health.rfind("unreadable", 0) == 0 ? s.Health
                                                                                         : "";
    if (why.empty()) return true;
    cli_Fail(path, why);
    return false;
}

}  // namespace

int cli_Diff(const cli_Parsed &line) {
    const cli_Args &args = line.Operands;
    if (args.size() != 2) return cli_UsageOf("diff");
    cpm_Survey a, b;
    bool readA = surveyOne(args[0], a), readB = surveyOne(args[1], b);
    if (!readA || !readB) return cli_Usage;
    std::map<FileKey, const cpm_SurveyFile *> inA, inB;
    for (const cpm_SurveyFile &f : a.Files) inA[{f.User, f.Name}] = &f;
    for (const cpm_SurveyFile &f : b.Files) inB[{f.User, f.Name}] = &f;
    std::set<FileKey> names;
    for (const auto &[key, f] : inA) names.insert(key);
    for (const auto &[key, f] : inB) names.insert(key);
    std::vector<std::string> onlyA, onlyB, differ, same;
    for (const FileKey &key : names) {
        std::string name = std::to_string(key.first) + ":" + key.second;
        auto fa = inA.find(key), fb = inB.find(key);
        if (fb == inB.end()) onlyA.push_back(name);
        else if (fa == inA.end()) onlyB.push_back(name);
        else if (fa->second->Hash != fb->second->Hash || fa->second->Size != fb->second->Size) differ.push_back(name);
        else same.push_back(name);
    }
    for (const std::string &n : onlyA) cli_Out("Only in " + args[0] + ": " + n);
    for (const std::string &n : onlyB) cli_Out("Only in " + args[1] + ": " + n);
    for (const std::string &n : differ) cli_Out("Differ: " + n);
    for (const std::string &n : same) cli_Out("Identical: " + n);
    cli_Out(std::to_string(onlyA.size()) + " only in " + args[0] + ", " + std::to_string(onlyB.size()) + " only in " + args[1] +
            ", " + std::to_string(differ.size()) + " differ, " + std::to_string(same.size()) + " identical.");
    return onlyA.empty() && onlyB.empty() && differ.empty() ? cli_Ok : cli_Refused;
}

namespace {

struct Copy {
    std::string Image;
    int User = 0;
    std::string Name;
};

}  // namespace

int cli_Dups(const cli_Parsed &line) {
    bool asJson = cli_Flag(line, "--json");
    if (line.Operands.empty()) return cli_UsageOf("dups");
    cli_CollectionOptions options = cli_CollectionOptionsOf(line);
    if (options.Jobs < 0) return cli_UsageOf("dups");
    cli_Walk walk;
    if (!cli_OpenCollection(line, line.Operands, options, walk)) return cli_Refused;
    cli_ReportProblems(walk);
    // Files by size and hash, groups kept in the order their first copy was met.
    std::map<std::pair<uint64_t, std::string>, size_t> groupOf;
    std::vector<std::pair<uint64_t, std::vector<Copy>>> groups;
    // Images by their set of files (user, name, hash), the same way.
    std::map<std::string, size_t> setOf;
    std::vector<std::pair<int, std::vector<std::string>>> sets;
    cli_SurveyCollection(walk, options, nullptr, [&](cli_Surveyed &r) {
        for (const cpm_Survey &s : r.Surveys) {
            if (!s.IsImage || s.Files.empty()) continue;
            std::string signature;
            for (const cpm_SurveyFile &f : s.Files) {
                signature += std::to_string(f.User) + ":" + f.Name + "=" + f.Hash + "\n";
                // Empty files are all alike and say nothing.
                if (f.Size == 0) continue;
                auto [at, added] = groupOf.try_emplace({f.Size, f.Hash}, groups.size());
                if (added) groups.push_back({f.Size, {}});
                groups[at->second].second.push_back({s.Path, f.User, f.Name});
            }
            auto [at, added] = setOf.try_emplace(signature, sets.size());
            if (added) sets.push_back({s.FileCount, {}});
            sets[at->second].second.push_back(s.Path);
        }
    });
    auto copyName = [](const Copy &c) { return std::to_string(c.User) + ":" + c.Name; };
    long fileGroups = 0, imageGroups = 0;
    std::string filesJson, imagesJson;
    for (const auto &[size, copies] : groups) {
        if (copies.size() < 2) continue;
        fileGroups++;
        if (asJson) {
            std::string list;
            for (const Copy &c : copies)
                list += (list.empty() ? "" : ", ") + std::string("{\"image\": ") + cli_JsonString(c.Image) +
                        ", \"user\": " + std::to_string(c.User) + ", \"name\": " + cli_JsonString(c.Name) + "}";
            filesJson += std::string(filesJson.empty() ? "\n  " : ",\n  ") + "{\"size\": " + std::to_string(size) +
                         ", \"copies\": [" + list + "]}";
            continue;
        }
        cli_Out(copyName(copies[0]) + ", " + std::to_string(size) + (size == 1 ? " byte, " : " bytes, ") +
                std::to_string(copies.size()) + " copies:");
        for (const Copy &c : copies) cli_Out("  " + c.Image + ": " + copyName(c));
    }
    for (const auto &[count, images] : sets) {
        if (images.size() < 2) continue;
        imageGroups++;
        if (asJson) {
            std::string list;
            for (const std::string &image : images) list += (list.empty() ? "" : ", ") + cli_JsonString(image);
            imagesJson += std::string(imagesJson.empty() ? "\n  " : ",\n  ") + "{\"files\": " + std::to_string(count) +
                          ", \"images\": [" + list + "]}";
            continue;
        }
        cli_Out("Images with the same " + std::to_string(count) + (count == 1 ? " file:" : " files:"));
        for (const std::string &image : images) cli_Out("  " + image);
    }
    if (asJson) cli_Out("{\"files\": [" + filesJson + "], \"images\": [" + imagesJson + "]}");
    else cli_Out(std::to_string(fileGroups) + (fileGroups == 1 ? " file" : " files") + " with copies, " +
                 std::to_string(imageGroups) + (imageGroups == 1 ? " set" : " sets") + " of images with the same files.");
    return cli_AnyProblem(walk) ? cli_Refused : cli_Ok;
}
