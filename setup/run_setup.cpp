#include "setup/run_setup.h"

#include <cstring>

#include "deploy/copy_stage.h"
#include "deploy/shortcut_stage.h"
#include "input/answer_checks.h"
#include "input/confirm_continue.h"
#include "input/prompt_directory.h"
#include "input/prompt_string.h"
#include "input/read_answer.h"
#include "platform/platform.h"
#include "scripts/database_stage.h"
#include "scripts/generate_set_env_bat.h"
#include "scripts/generate_set_env_sql.h"
#include "setup/bounded_text.h"
#include "setup/check_distribution.h"
#include "setup/console_output.h"
#include "setup/derive_paths.h"
#include "setup/log_event.h"
#include "setup/notify_complete.h"

void display_intro() {
    print_line("********************************************");
    print_line("*      ORACLE DEMO APPLICATION SETUP       *");
    print_line("*  (c) 2026 Quarndel Demo Software Ltd.    *");
    print_line("********************************************");
    print_line("This program will install the Oracle demo application.\n");
    print_line("Prerequisites:");
    print_line("You must install Oracle Express first.\n");
    print_line(
        "You will be prompted to enter a set of parameters to configure the demo schema, "
        "and specify the installation location.\n");
}

bool get_current_directory(char* field, std::size_t capacity) {
    char path[PATH_CAPACITY];
    if (!platform::get_module_path(path, sizeof path)) return false;
    char* last = std::strrchr(path, '\\');
    if (last != nullptr) *last = '\0';
    return copy_text(field, capacity, path);
}

namespace {

void echo_parameters(const SetupParameters& p) {
    // The setup folder's name comes from the disk: a control character in
    // it must not reach the console or the log raw.
    char source[SPELLED_PATH_CAPACITY];
    spell_control_characters(source, sizeof source, p.SOURCE_DIR);
    // Printed, then logged in the same order.
    const struct {
        const char* label;
        const char* value;
    } lines[] = {
        {"Source files extracted to: ", source},
        {"DBSERVICE = ", p.DBSERVICE},
        {"Listener port = ", p.PORT},
        {"Database connection string = ", p.DBCONNECT},
        {"APP_OWNER = ", p.APP_OWNER},
        {"CONNECT_USER = ", p.CONNECT_USER},
        {"APP_HOME directory = ", p.APP_HOME},
        {"SQL_APP_HOME directory = ", p.SQL_APP_HOME},
        {"DATA_HOME directory = ", p.DATA_HOME},
        {"SQL_DATA_HOME directory = ", p.SQL_DATA_HOME},
    };
    print_line("SETUP PARAMETERS");
    print_line("================");
    for (const auto& line : lines) write_format("%s%s\n", line.label, line.value);
    for (const auto& line : lines) log_event("%s%s", line.label, line.value);
}

int abandon() {
    report(OnConsole::line, "Installation abandoned.");
    log_on_interrupt(nullptr);
    return EXIT_ABANDONED;
}

// The stages in their fixed order; each reports its own messages.
struct Stage {
    const char* name;
    bool (*run)(const SetupParameters&);
};

const Stage STAGES[] = {
    {"APP_HOME and DATA_HOME copy", run_copy_stage},
    {"set_env.sql", run_set_env_sql_stage},
    {"set_env.bat", run_set_env_bat_stage},
    {"auto_install.sql and database objects", run_database_stage},
    {"desktop shortcut", run_shortcut_stage},
};

}  // namespace

bool collect_parameters(SetupParameters& p, const DistributionSize& size) {
    if (!prompt_string("Enter the pluggable database service name", p.DBSERVICE, sizeof p.DBSERVICE,
                       "XEPDB1", NAME_REFUSED_CHARACTERS, AnswerRules::folder_name) ||
        !prompt_string("Enter the application owner username", p.APP_OWNER, sizeof p.APP_OWNER,
                       "QUARNDEL", NAME_REFUSED_CHARACTERS, AnswerRules::folder_name) ||
        !prompt_string("Enter the connection username", p.CONNECT_USER, sizeof p.CONNECT_USER,
                       "DEMO_CONNECT", NAME_REFUSED_CHARACTERS, AnswerRules::folder_name) ||
        !prompt_string("Enter the listener port", p.PORT, sizeof p.PORT, "1521",
                       PORT_REFUSED_CHARACTERS, AnswerRules::script_value)) {
        return false;
    }

    print_line(
        "\nSpecify the application home directory APP_HOME. Include the drive, separate each "
        "directory with a single \\. ");
    print_line("Do not end with a \\ unless specifying just the drive root e.g. D:\\ ");
    print_line("You may include spaces and ampersands & in the APP_HOME path. ");
    print_line("Do not include quotes \" ");
    DirectoryRules app_rules;
    app_rules.reject_special = false;
    app_rules.refused_characters = APP_DIRECTORY_REFUSED_CHARACTERS;
    app_rules.root_fits = app_home_fits;
    app_rules.home_name = "APP_HOME";
    app_rules.home_suffix = "";
    app_rules.longest_below_home = size.longest_path;
    app_rules.source = p.SOURCE_DIR;
    app_rules.size = &size.tree;
    app_rules.kind = HomeKind::app;
    if (!prompt_directory("Enter the app installation directory path", p.APP_DIRECTORY,
                          sizeof p.APP_DIRECTORY, "C:\\", p.APP_HOME, sizeof p.APP_HOME,
                          p.DBSERVICE, p.APP_OWNER, app_rules)) {
        return false;
    }
    escape_for_sqlplus(p.APP_HOME, p.SQL_APP_HOME, sizeof p.SQL_APP_HOME);

    print_line(
        "\nSpecify the data home directory DATA_HOME. Include the drive, separate each "
        "directory with a single \\. ");
    print_line("Do not end with a \\ unless specifying just the drive root e.g. D:\\ ");
    print_line("Spaces are not allowed in this path.");
    print_line("Do not include ampersands &. ");
    print_line("Do not include quotes \". ");
    // With the default answers DATA_HOME is APP_HOME\data: the data folder
    // is already counted there, and its second copy only replaces files.
    DirectoryRules data_rules;
    data_rules.reject_special = true;
    data_rules.refused_characters = DATA_DIRECTORY_REFUSED_CHARACTERS;
    data_rules.root_fits = data_home_fits;
    data_rules.home_name = "DATA_HOME";
    data_rules.home_suffix = "\\data";
    data_rules.longest_below_home = size.longest_data_path;
    data_rules.source = p.SOURCE_DATA_DIR;
    data_rules.size = &size.data;
    data_rules.earlier_home = p.APP_HOME;
    data_rules.earlier_source = p.SOURCE_DIR;
    data_rules.earlier_size = &size.tree;
    data_rules.kind = HomeKind::data;
    if (!prompt_directory("Enter the data directory path", p.DATA_DIRECTORY,
                          sizeof p.DATA_DIRECTORY, "C:\\", p.DATA_HOME, sizeof p.DATA_HOME,
                          p.DBSERVICE, p.APP_OWNER, data_rules)) {
        return false;
    }
    char root[PATH_CAPACITY];
    copy_text(root, sizeof root, p.DATA_HOME);
    compose_text(p.DATA_HOME, sizeof p.DATA_HOME, "%s\\data", root);
    escape_for_sqlplus(p.DATA_HOME, p.SQL_DATA_HOME, sizeof p.SQL_DATA_HOME);
    make_connection_string(p.PORT, p.DBSERVICE, p.DBCONNECT, sizeof p.DBCONNECT);
    return true;
}

Confirmation run_dialogue(SetupParameters& p) {
    log_event("ORACLE QUARNDEL INSTALLATION LOG");
    log_on_interrupt("Installation interrupted by Ctrl+C or Ctrl+Break.");
    display_intro();

    if (!get_current_directory(p.SOURCE_DIR, sizeof p.SOURCE_DIR)) {
        report(OnConsole::line,
               "Error: Could not determine the folder this setup program was started from.");
        return Confirmation::no;
    }
    char source[SPELLED_PATH_CAPACITY];
    spell_control_characters(source, sizeof source, p.SOURCE_DIR);
    log_event("Setup started from directory: %s", source);
    if (!compose_text(p.SOURCE_DATA_DIR, sizeof p.SOURCE_DATA_DIR, "%s\\data", p.SOURCE_DIR)) {
        // A cut name would copy the data from some other folder.
        print_line(
            "Error: The path of the setup folder is too long to name its data folder. "
            "Move the distribution to a shorter path.");
        log_event("Error: The path of the setup folder is too long to name its data folder.");
        return Confirmation::no;
    }
    DistributionSize size;
    if (!check_distribution(p, &size)) return Confirmation::no;
    return ask_and_confirm(p, size);
}

Confirmation ask_and_confirm(SetupParameters& p, const DistributionSize& size) {
    if (!collect_parameters(p, size)) {
        write_text("\n");
        return Confirmation::end_of_input;
    }
    echo_parameters(p);

    Confirmation answer =
        confirm_continue("Do you want to continue with the installation (Y or N)?");
    if (answer == Confirmation::end_of_input) write_text("\n");
    return answer;
}

int run_setup() {
    SetupParameters p;
    if (run_dialogue(p) != Confirmation::yes) return abandon();
    log_event("User confirmed installation to continue.");
    // Take the rest of the confirmation's line now, before SQL*Plus, which
    // reads the same input, could take it as its first password.
    discard_rest_of_line();

    char failed[512] = "";
    for (const Stage& stage : STAGES) {
        if (!stage.run(p)) add_to_list(failed, sizeof failed, stage.name);
    }
    // A log with holes is a failure too: it is the record of what was done.
    if (!notify_complete(p.APP_HOME, p.DATA_HOME, p.DBSERVICE, p.APP_OWNER, p.CONNECT_USER,
                         failed)) {
        return EXIT_STAGE_FAILED;
    }
    return EXIT_COMPLETED;
}
