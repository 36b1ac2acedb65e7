// The SQL*Plus command line that creates the database objects.
#pragma once

#include <cstddef>

// Composes: sqlplus / as sysdba @"<app_home>\install\auto_install.sql".
// Bounded; true when the whole command fit.
bool make_database_command(const char* app_home, char* command, std::size_t capacity);
