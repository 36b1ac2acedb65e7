// The fourth stage: auto_install.sql, then SQL*Plus on it.
#pragma once

#include "setup/setup_parameters.h"

// Writes auto_install.sql and runs "sqlplus / as sysdba @<script>" through
// the command interpreter, waiting for it; SQL*Plus shares the console.
// True only when the script was written and SQL*Plus ended with status 0.
bool run_database_stage(const SetupParameters& parameters);
