#include "setup/database_command.h"

#include "setup/bounded_text.h"

bool make_database_command(const char* app_home, char* command, std::size_t capacity) {
    return compose_text(command, capacity, "sqlplus / as sysdba @\"%s\\install\\auto_install.sql\"",
                        app_home);
}
