// Test support: diskwright-cli run by a shell in a temporary folder of its
// own, as a person runs it (the including target defines DW_CLI_PATH).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "child_output.h"
#include "temp_folder.h"
#include "volume.h"

struct test_CliRun {
    int Status = -1;
    std::string Out, Err;
};

class test_CliTest : public ::testing::Test {
  protected:
    test_TempFolder Folder;
    void SetUp() override { cpm_SetDiagnostics(false); }
    void TearDown() override { cpm_SetDiagnostics(true); }
    std::string at(const std::string &name) const { return Folder.at(name); }
    // The bytes of a file of the folder.
    std::string file(const std::string &name) const {
        std::ostringstream bytes;
        bytes << std::ifstream(at(name), std::ios::binary).rdbuf();
        return bytes.str();
    }
    // Runs a shell command line in the folder, $CLI being the tool; its
    // standard error is kept apart.
    test_CliRun sh(const std::string &line) const {
        test_CliRun r;
        r.Status = test_Shell("cd '" + Folder.Path + "' && CLI='" DW_CLI_PATH "' && { " + line + " ; } 2>.stderr", &r.Out);
        r.Err = file(".stderr");
        std::filesystem::remove(at(".stderr"));
        return r;
    }
    // The same, standard output and error together; the exit status in *status.
    std::string run(const std::string &line, int *status = nullptr) const {
        test_CliRun r = sh(line);
        if (status) *status = r.Status;
        return r.Out + r.Err;
    }
};

inline bool test_Has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }
