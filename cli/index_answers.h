// The commands over a collection answered from the index (--db FILE) instead
// of the images: the surveys read back, grouped and shown as a walk of the
// same operands would show them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "collection_survey.h"

// A path the index keeps (absolute) as a walk of the operands shows it: the
// operand, then the rest of the path under it.
std::string cli_ShownIndexPath(const std::string &key, const std::vector<std::string> &operands,
                               const std::vector<std::string> &roots);

// The collection under the operands: walked (and surveyed by
// cli_SurveyCollection), or with --db FILE the index's record of it in
// options.Indexed, one entry per walked file, with walk.Files and
// walk.Skipped as the index recorded them.  Files whose bytes hold
// `contains` (when not empty) get their bytes.  Says on standard error when
// the images changed since they were indexed.  False (after a line) when the
// index cannot answer.
// `named` (when given) picks the files by user and DisplayName: the others
// are not read from the index.
bool cli_OpenCollection(const cli_Parsed &line, const std::vector<std::string> &operands, cli_CollectionOptions &options,
                        cli_Walk &walk, const std::string &contains = "",
                        const std::function<bool(const cpm_SurveyFile &)> &named = nullptr);
