// The SQL*Plus command line that creates the database objects.
#pragma once

#include <cstddef>

// Composes: sqlplus / as sysdba @"<app_home>\install\auto_install.sql".
// Bounded; true when the whole command fit.
bool make_database_command(const char* app_home, char* command, std::size_t capacity);

// The distribution's scripts that auto_install.sql has SQL*Plus run, below
// APP_HOME (and below the setup folder), in the order it runs them.
constexpr const char* const INSTALL_SCRIPTS[] = {
    "install\\install_schema.sql",
    "install\\seed_data.sql",
    "install\\compile_packages.sql",
    "install\\lock_schema.sql",
};

// The batch file the desktop shortcut starts, below APP_HOME.
constexpr const char SHORTCUT_TARGET[] = "com\\startora.bat";
