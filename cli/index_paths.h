// What the commands over a collection share with the index: the --jobs
// option, the paths the index keeps and the paths the lines show, and the
// surveys an index answers with.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "cli.h"
#include "survey.h"

// --jobs N (default: the number of cores); 0 (and a line) when N is no
// positive number.
int cli_JobsOption(const cli_Parsed &line);
// A path the index keeps (absolute) as the walk from the operands shows it:
// the operand, then the rest of the path under it.
std::string cli_ShownIndexPath(const std::string &key, const std::vector<std::string> &operands,
                               const std::vector<std::string> &roots);
// The host files under `operands` as the index at --db recorded them, with
// the paths shown as a walk of the operands would show them, in path order.
// Says on standard error when files changed or went since they were indexed.
// cli_Ok, or the exit status after a line on standard error.
int cli_IndexedSurveys(const cli_Parsed &line, const std::vector<std::string> &operands, std::vector<cpm_Survey> &surveys);
// The hashes of the indexed files whose bytes contain `needle`.
int cli_IndexedContaining(const cli_Parsed &line, const std::string &needle, std::set<std::string> &hashes);
