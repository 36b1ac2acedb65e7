// The first stage: the distribution into APP_HOME, its data into DATA_HOME.
#pragma once

#include "setup/setup_parameters.h"

// Copies both trees with their messages. True when both copied without error.
bool run_copy_stage(const SetupParameters& parameters);
