// The stand-in's command interpreter: runs SQL*Plus scripts and commands
// typed at the SQL> prompt, records what a database would have been sent.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/sqlplus/host.h"
#include "tools/sqlplus/substitution.h"
#include "tools/sqlplus/text.h"

namespace sqlplus {

// A logon string user/password@connect, taken apart.
struct Logon {
    Text user;
    bool has_password = false;
    Text password;
    Text connect;
};
Logon parse_logon(const Text& logon);

// How SQL*Plus ends a statement: SQL at ';' or '/', PL/SQL only at '/'.
enum class StatementKind { kSql, kPlsql, kUndecided };
StatementKind classify_statement(const std::vector<std::string>& lines);

// What SQL*Plus would print after running the statement.
std::string acknowledgement(const std::string& statement);

class Interpreter {
  public:
    explicit Interpreter(Host& host);

    // Runs the program with its command-line arguments (argv[1..]); returns
    // the exit status.
    int run(const std::vector<std::string>& args);

  private:
    struct Source {
        std::vector<std::string> lines;  // a script's lines
        std::size_t next = 0;
        bool from_stdin = false;
        std::string path;  // the script's resolved path
        int depth = 0;     // 0 for standard input
    };

    enum class Command {
        kNone,
        kAccept,
        kBreak,
        kBtitle,
        kClear,
        kColumn,
        kCompute,
        kConnect,
        kDefine,
        kDescribe,
        kDisconnect,
        kExecute,
        kExit,
        kHost,
        kPause,
        kPrint,
        kPrompt,
        kQuit,
        kRemark,
        kRun,
        kSet,
        kShow,
        kSpool,
        kStart,
        kTtitle,
        kUndefine,
        kVariable,
        kWhenever
    };
    static Command lookup(const std::string& word);

    std::optional<std::string> next_line(Source& source, const std::string& prompt);
    void run_source(Source& source);
    bool add_statement_line(std::vector<std::string>& entry, const std::string& line);
    void handle_command(Command command, const std::string& line, Source& source);

    Text substitute_line(const std::string& line);
    std::optional<std::string> read_typed(bool hide);

    void start_script(const Text& rest, bool relative_to_caller, Source& caller);
    void run_script(const Text& path, const std::vector<Text>& args, bool relative_to_caller,
                    const Source& caller);
    void execute_buffer();
    void send(const std::vector<Text>& lines, bool plsql);

    void accept(const Text& rest);
    void define(const Text& rest);
    void set(const Text& rest);
    void connect(const Text& rest);
    bool logon(Logon logon, const std::string& role, const std::string& command_word);
    void exit_command(const Text& rest);
    void whenever(const Text& rest);
    void show(const Text& rest);
    void sql_error(int code);
    void finish(int status, const std::string& recorded_status);

    Host& host_;
    SubstitutionSettings substitution_;
    Variables variables_;
    bool verify_ = true;
    bool echo_ = false;
    bool feedback_ = true;
    bool blank_lines_ = false;
    bool silent_ = false;
    bool connected_ = false;
    std::string user_;
    bool exiting_ = false;
    int status_ = 0;
    bool input_ended_ = false;
    // WHENEVER SQLERROR EXIT: the status, or -1 for SQL.SQLCODE.
    std::optional<int> sqlerror_exit_;
    int last_sqlcode_ = 0;
    std::vector<std::string> buffer_;  // the last statement, as written
};

}  // namespace sqlplus
