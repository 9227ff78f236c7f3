// Start-up of the volume manager and its end.
#include "main_program.h"

#include "identity.h"
#include "program_end.h"

std::string cpm_ProgramName;
std::string cpm_Version;
std::string cpm_Notice;

void cpm_MainProgram() {
    cpm_Version = "1.4";
    cpm_ProgramName = "Diskwright ";
    cpm_Notice = "CP/M disk images for the Apple II and plain volumes";
    t_QuitProgram(0);
}
