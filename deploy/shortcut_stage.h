// The last stage: a desktop shortcut that starts the application.
#pragma once

#include "setup/setup_parameters.h"

// Saves <desktop>\<APP_OWNER>.lnk starting APP_HOME\com\startora.bat in
// APP_HOME\com, with the description "Start Oracle Application". Every
// failure is reported and logged. True only when the link was saved.
bool run_shortcut_stage(const SetupParameters& parameters);
