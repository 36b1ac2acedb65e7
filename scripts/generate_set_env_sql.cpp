#include "scripts/generate_set_env_sql.h"

#include "scripts/script_file.h"
#include "setup/bounded_text.h"

bool generate_set_env_sql(const SetupParameters& p) {
    char path[PATH_CAPACITY];
    compose_text(path, sizeof path, "%s\\config\\set_env.sql", p.APP_HOME);
    char text[8192];
    // clang-format off
    const bool composed = compose_text(text, sizeof text,
    "/* \n"
    "  NAME:    set_env.sql\n"
    "  DESCRIPTION\n"
    "           Created by setup to configure the Oracle application environent.\n"
    "  SECURITY WARNING \n"
    "           You must keep the application owner/schema password secure. Do not allow any users\n"
    "           or applications to connect to the database as the application owner.\n"
    "           A separate connection user has been created for applications to\n"
    "           connect to the database with.\n"
    "  INSTRUCTIONS\n"
    "           The setup program generates this script setting the following parameters:\n"
    "           V_DBSERVICE    Database Service name, e.g. XEPDB1, or XEDEV, XEPROD etc.\n"
    "           V_APP_OWNER    Application owner/schema e.g. QUARNDEL.\n"
    "           V_PWD          Password for the application owner schema.\n"
    "                          See security warning above.\n"
    "           V_CONNECT_USER Users and applications connect to the database as this user, e.g. DEMO_CONNECT. \n"
    "                          This user does not own the application's schema objects, and has limited privileges.\n"
    "           V_CONNECT_PWD  Password for V_CONNECT_USER.\n"
    "           V_PORT         Oracle database listener port, default 1521.\n"
    "           V_DBCONNECT    Connect to DB Service.\n"
    "           V_APP_HOME     Application home directory path.\n"
    "           V_DATA_HOME    Data home directory path (import / export, user files etc.)\n"
    "*/\n"
    "SET ESCAPE ON\n"
    "DEFINE v_dbservice = %s\n"
    "DEFINE v_app_owner = %s\n"
    "ACCEPT v_pwd PROMPT \"Enter the password for %s: \" HIDE\n"
    "DEFINE v_connect_user = %s\n"
    "ACCEPT v_connect_pwd PROMPT \"Enter the password for the database connection user %s: \" HIDE\n"
    "DEFINE v_port = %s\n"
    "DEFINE v_dbconnect = %s\n"
    "-- Application Home directory.\n"
    "-- Note that where directory names contain a special character such as &, you must precede each special character with the \\ escape character.\n"
    "-- You will need to SET ESCAPE ON first.\n"
    "-- The directory name separator \\ will also need to be preceded by a \\ escape character.\n"
    "DEFINE v_app_home = \"%s\"\n"
    "-- Data Home directory.\n"
    "-- This is the location of the user data directories.\n"
    "-- Do not include spaces or special characters such as & in the directory name.\n"
    "DEFINE v_data_home = \"%s\"\n",
                      p.DBSERVICE, p.APP_OWNER, p.APP_OWNER, p.CONNECT_USER, p.CONNECT_USER, p.PORT, p.DBCONNECT, p.SQL_APP_HOME, p.SQL_DATA_HOME);
    // clang-format on
    return write_script_file(path, composed, text, "SQL script generated: ");
}

bool run_set_env_sql_stage(const SetupParameters& p) {
    return report_script(generate_set_env_sql(p), "SQL script set_env.sql created.",
                         "Error: SQL script set_env.sql was not written.");
}
