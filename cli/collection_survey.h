// Surveying a collection through the pool, and how one survey is shown.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "collection.h"
#include "survey.h"

struct cli_CollectionOptions {
    int Jobs = 1;
    bool CrossDevices = false;
    bool Ordered = true;          // in path order; else as each finishes
    bool WithBytes = false;       // the files' bytes (for --contains)
    bool Hashes = true;           // the image's and the files' hashes
    const std::atomic<bool> *Stop = nullptr;
    // With --db FILE: the surveys the index recorded, one entry per walked
    // file (cli_OpenCollection, index_answers.h), handed out instead of reading.
    std::shared_ptr<std::vector<std::vector<cpm_Survey>>> Indexed;
};
// --jobs and --cross-devices of the command line (Jobs -1: a bad --jobs).
cli_CollectionOptions cli_CollectionOptionsOf(const cli_Parsed &line);

// One walked file: its survey, and those of its further slices.
struct cli_Surveyed {
    std::vector<cpm_Survey> Surveys;
    std::vector<std::string> Lines;   // what reduce made of them, if it made lines
};
// Surveys every walked file on the pool's threads; `reduce` (may be empty)
// runs on the same thread right after (to drop bytes no longer needed),
// `each` on the calling thread, in path order unless options say otherwise.
void cli_SurveyCollection(const cli_Walk &walk, const cli_CollectionOptions &options,
                          const std::function<void(cli_Surveyed &)> &reduce, const std::function<void(cli_Surveyed &)> &each);

// "disks/a.dsk: Extended DSK, cpcdata, 12 files, 150K used, 28K free, ok".
std::string cli_SurveyLine(const cpm_Survey &survey);
// "0:WS.COM".
std::string cli_SurveyFileName(const cpm_SurveyFile &file);
// One image (with its files) and one file as JSON objects.
std::string cli_SurveyJson(const cpm_Survey &survey);
std::string cli_SurveyFileJson(const cpm_SurveyFile &file);
// The walk's problems (an unreadable folder, a missing operand) on standard error.
void cli_ReportProblems(const cli_Walk &walk);
bool cli_AnyProblem(const cli_Walk &walk);
