// The command loop of the volume manager.
#pragma once

#include <string>

// Runs until the user presses Q.
void cpm_CommandLoop();
// Prompt line 1, 2 or 3 as shown: the text, the version and "] ? ".
std::string cpm_PromptText(int line);
