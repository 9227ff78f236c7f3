// Engine-internal: a geometry inferred from a directory found on the
// medium, for a disk that no definition reads.
#pragma once

#include <string>
#include <vector>

#include "volume.h"

struct cpm_Inference {
    bool Found = false;                 // a directory with files was found
    cpm_Geometry Geometry;              // the best one's geometry (a definition named "inferred")
    int Good = 0;                       // its good entries
    std::vector<std::string> Tied;      // two or more different inferences score alike: their names
    std::vector<std::string> Readings;  // the best inferences: "inferred (...): 12 good, 0 bad"
};
// Searches for a directory at each track boundary of the first tracks,
// with blocks of 1K to 16K.
cpm_Inference cpm_InferGeometry(const cpm_Medium &medium);
// "Format inferred (2 reserved tracks, 2K blocks, 64 entries): opened read-only."
std::string cpm_InferredMessage(const cpm_Geometry &g);
// "inferred (2 reserved tracks, 2K blocks, 64 entries)"
std::string cpm_InferredName(const cpm_Geometry &g);
