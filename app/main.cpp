// The process entry.
#include <cstdio>
#include <unistd.h>

#include "application.h"
#include "main_program.h"

int main(int argc, char **argv) {
    int status = t_RunApplication(argc, argv, cpm_MainProgram);
    // The program thread may still be running: end the process without
    // tearing down state that it could still be using.
    fflush(stdout);
    _exit(status);
}
