// What the run checks about its own distribution before the first question.
#pragma once

#include <cstddef>

#include "setup/measure_tree.h"
#include "setup/setup_parameters.h"

// The longest paths the two copies will create below their destinations,
// and the bytes each copies.
struct DistributionSize {
    std::size_t longest_path;       // below SOURCE_DIR, for APP_HOME
    std::size_t longest_data_path;  // below SOURCE_DATA_DIR, for DATA_HOME
    TreeSize tree;                  // the files of SOURCE_DIR
    TreeSize data;                  // the files of SOURCE_DATA_DIR
};

// True when the setup folder holds the whole distribution (the folders
// config, install, com and data) and both trees could be measured into
// *size. Otherwise prints and logs why, and the run is to be abandoned.
bool check_distribution(const SetupParameters& parameters, DistributionSize* size);
