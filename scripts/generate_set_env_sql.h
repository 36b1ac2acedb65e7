// The SQL*Plus environment script: substitution variables for the application's SQL scripts.
#pragma once

#include "setup/setup_parameters.h"

// Writes APP_HOME\config\set_env.sql from the run's values, replacing an
// existing file. True only when the whole file was written.
bool generate_set_env_sql(const SetupParameters& parameters);

// The stage: generates the file and reports whether it was created.
bool run_set_env_sql_stage(const SetupParameters& parameters);
