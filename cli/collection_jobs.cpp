// The number of threads of the commands over collections.
#include <algorithm>
#include <thread>

#include "collection.h"

int cli_JobsOption(const cli_Parsed &line) {
    std::string value;
    if (!cli_Option(line, "--jobs", value)) return int(std::max(1u, std::thread::hardware_concurrency()));
    if (value.empty() || value.size() > 3 || value.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(value) < 1 || std::stoi(value) > 256) {
        cli_Err("diskwright-cli: --jobs takes a number of threads from 1 to 256, not '" + value + "'");
        return -1;
    }
    return std::stoi(value);
}
