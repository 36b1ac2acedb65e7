// The automatic installation script that SQL*Plus runs to create the schema.
#pragma once

#include "setup/setup_parameters.h"

// Writes APP_HOME\install\auto_install.sql from the run's values, replacing an
// existing file. True only when the whole file was written.
bool generate_auto_install_sql(const SetupParameters& parameters);
