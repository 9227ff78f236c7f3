// The main program: runs once on the program thread.
#pragma once

void cpm_MainProgram();
