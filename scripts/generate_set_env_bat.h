// The batch environment script: environment variables for the application's batch files.
#pragma once

#include "setup/setup_parameters.h"

// Writes APP_HOME\config\set_env.bat from the run's values, replacing an
// existing file. True only when the whole file was written.
bool generate_set_env_bat(const SetupParameters& parameters);

// The stage: generates the file and reports whether it was created.
bool run_set_env_bat_stage(const SetupParameters& parameters);
