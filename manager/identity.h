// The program's identity texts, set once at the start of the main program.
#pragma once

#include <string>

extern std::string cpm_ProgramName;   // "Diskwright " with its trailing blank
extern std::string cpm_Version;       // "1.4"
extern std::string cpm_Notice;        // shown beside the title
