// The last stage: a desktop shortcut that starts the application.
#pragma once

#include "setup/setup_parameters.h"


// Saves <desktop>\<name>.lnk starting target in working_directory, with the
// description "Start Oracle Application". Every failure is reported and
// logged. True only when the link was saved.
bool create_shortcut_on_desktop(const char* target, const char* working_directory,
                                const char* name);

// Points the shortcut at APP_HOME\com\startora.bat. True when it was saved.
bool run_shortcut_stage(const SetupParameters& parameters);
