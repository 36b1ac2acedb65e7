#include "scripts/generate_auto_install_sql.h"

#include "scripts/script_file.h"
#include "setup/bounded_text.h"

bool generate_auto_install_sql(const SetupParameters& p) {
    char path[PATH_CAPACITY];
    compose_text(path, sizeof path, "%s\\install\\auto_install.sql", p.APP_HOME);
    char text[8192];
    // clang-format off
    const bool composed = compose_text(text, sizeof text,
    "/* NAME:    auto_install.sql \n"
    "   DESCRIPTION\n"
    "            Created by setup to automatically:\n"
    "            1. Create schema (tables, indexes, constraints, triggers etc).\n"
    "            2. Create a connection user with restricted privileges.\n"
    "            3. Load seed data into the database tables.\n"
    "            4. Compile all packages.\n"
    "*/ \n"
    "-- Handle special characters e.g. ampersand & in directory names and strings.\n"
    "-- You must escape the directory delimiters so use \\\\ not \\ \n"
    "SET ESCAPE ON\n"
    "DEFINE v_app_root=\"%s\"\n"
    "@'&v_app_root\\\\config\\\\set_env'\n"
    "ACCEPT v_sys_pwd CHAR PROMPT 'Enter SYS password: ' HIDE\n"
    "CONNECT SYS/&v_sys_pwd@&v_dbconnect AS SYSDBA\n"
    "@'&v_app_home\\\\install\\\\install_schema'     \"&v_dbservice\" \"&v_dbconnect\" \"&v_app_owner\" \"&v_pwd\" \"&v_connect_user\" \"&v_connect_pwd\" \"&v_app_home\" \"&v_data_home\" \n"
    "@'&v_app_home\\\\install\\\\seed_data'          \"&v_dbservice\" \"&v_dbconnect\" \"&v_app_owner\" \"&v_pwd\"  \n"
    "@'&v_app_home\\\\install\\\\compile_packages'   \"&v_dbservice\" \"&v_dbconnect\" \"&v_app_owner\" \"&v_pwd\" \"&v_app_home\" \"&v_connect_user\"  \"&v_connect_pwd\" \n"
    "@'&v_app_home\\\\install\\\\lock_schema'        \"&v_dbservice\" \"&v_dbconnect\" \"&v_app_owner\" \"&v_sys_pwd\" \n"
    "EXIT\n",
                      p.SQL_APP_HOME);
    // clang-format on
    return write_script_file(path, composed, text, "SQL script generated: ");
}
