#include "tools/sqlplus/interpreter.h"

#include <cstddef>
#include <string>
#include <utility>

namespace sqlplus {
namespace {

constexpr int kMaxDepth = 20;  // nesting limit of SQL*Plus command procedures

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}
bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && is_blank(text[begin])) ++begin;
    while (end > begin && is_blank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string rtrim(const std::string& text) {
    std::size_t end = text.size();
    while (end > 0 && is_blank(text[end - 1])) --end;
    return text.substr(0, end);
}

bool starts_with(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// True if word is full or an abbreviation of it at least min letters long.
bool abbreviates(const std::string& word, const char* full, std::size_t min) {
    const std::size_t length = std::char_traits<char>::length(full);
    return word.size() >= min && word.size() <= length &&
           word.compare(0, word.size(), full, word.size()) == 0;
}

Text trim(const Text& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && is_blank(text[begin])) ++begin;
    while (end > begin && is_blank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// Drops the ';' some people end SQL*Plus commands with.
Text strip_semicolon(const Text& text) {
    Text result = trim(text);
    if (!result.empty() && result[result.size() - 1] == ';')
        result = trim(result.substr(0, result.size() - 1));
    return result;
}

// The next blank-separated word from pos. '...' and "..." group characters
// and are removed; a doubled quote inside stands for one quote.
bool next_token(const Text& text, std::size_t& pos, Text& token) {
    token = Text();
    while (pos < text.size() && is_blank(text[pos])) ++pos;
    if (pos >= text.size()) return false;
    while (pos < text.size() && !is_blank(text[pos])) {
        const char c = text[pos];
        if (c != '\'' && c != '"') {
            token.push_back(c, text.secret_at(pos));
            ++pos;
            continue;
        }
        ++pos;
        while (pos < text.size()) {
            if (text[pos] == c) {
                if (pos + 1 < text.size() && text[pos + 1] == c) {
                    token.push_back(c, text.secret_at(pos));
                    pos += 2;
                    continue;
                }
                ++pos;
                break;
            }
            token.push_back(text[pos], text.secret_at(pos));
            ++pos;
        }
    }
    return true;
}

// The next blank-separated word, quotes kept (a logon string).
Text next_raw_token(const Text& text, std::size_t& pos) {
    while (pos < text.size() && is_blank(text[pos])) ++pos;
    const std::size_t begin = pos;
    bool quoted = false;
    while (pos < text.size() && (quoted || !is_blank(text[pos]))) {
        if (text[pos] == '"') quoted = !quoted;
        ++pos;
    }
    return text.substr(begin, pos - begin);
}

std::string leading_word(const std::string& text) {
    std::size_t end = 0;
    while (end < text.size() && is_letter(text[end])) ++end;
    return text.substr(0, end);
}

// The first few words of a statement, upper-cased.
std::vector<std::string> leading_words(const std::string& text, std::size_t count) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size() && words.size() < count) {
        if (!is_name_char(text[i])) {
            ++i;
            continue;
        }
        std::size_t begin = i;
        while (i < text.size() && is_name_char(text[i])) ++i;
        words.push_back(upper(text.substr(begin, i - begin)));
    }
    return words;
}

std::string join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty()) text += '\n';
        text += line;
    }
    return text;
}

bool is_sql_start(const std::string& word) {
    static const char* const kWords[] = {
        "ADMINISTER",   "ALTER",     "ANALYZE", "ASSOCIATE", "AUDIT",   "BEGIN",
        "CALL",         "COMMENT",   "COMMIT",  "CREATE",    "DECLARE", "DELETE",
        "DISASSOCIATE", "DROP",      "EXPLAIN", "FLASHBACK", "GRANT",   "INSERT",
        "LOCK",         "MERGE",     "NOAUDIT", "PURGE",     "RENAME",  "REVOKE",
        "ROLLBACK",     "SAVEPOINT", "SELECT",  "TRUNCATE",  "UPDATE",  "WITH"};
    for (const char* known : kWords) {
        if (word == known) return true;
    }
    return false;
}

std::vector<std::string> split_lines(const std::string& contents) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    if (starts_with(contents, "\xEF\xBB\xBF")) begin = 3;  // a byte order mark from Notepad
    while (begin < contents.size()) {
        std::size_t end = contents.find('\n', begin);
        if (end == std::string::npos) end = contents.size();
        std::string line = contents.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        begin = end + 1;
    }
    return lines;
}

bool is_absolute(const std::string& path) {
    return (path.size() >= 2 && is_letter(path[0]) && path[1] == ':') ||
           (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

bool has_extension(const std::string& path) {
    std::size_t slash = path.find_last_of("\\/:");
    std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    return path.find('.', name) != std::string::npos;
}

// Three places wide, as SQL*Plus numbers buffer lines.
std::string line_number(std::size_t n) {
    std::string digits = std::to_string(n);
    return std::string(digits.size() < 3 ? 3 - digits.size() : 0, ' ') + digits;
}

bool parse_int(const std::string& text, int& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i >= text.size() || text.size() - i > 9) return false;
    long long result = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        result = result * 10 + (text[i] - '0');
    }
    value = static_cast<int>(negative ? -result : result);
    return true;
}

bool is_number(const std::string& raw) {
    const std::string text = trim(raw);
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            digits = true;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

// EXIT and WHENEVER SQLERROR EXIT: SUCCESS, FAILURE, WARNING or a number.
bool exit_status(const std::string& word, int& status) {
    if (word == "SUCCESS") {
        status = 0;
    } else if (word == "FAILURE") {
        status = 1;
    } else if (word == "WARNING") {
        status = 2;
    } else {
        return parse_int(word, status);
    }
    return true;
}

std::string capitalized(const std::string& word) {
    std::string text = word;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] >= 'A' && text[i] <= 'Z') text[i] = static_cast<char>(text[i] - 'A' + 'a');
    }
    return text;
}

}  // namespace

Logon parse_logon(const Text& s) {
    Logon logon;
    std::size_t i = 0;
    const std::size_t n = s.size();
    auto take_quoted = [&](Text& out) {
        ++i;
        while (i < n && s[i] != '"') {
            out.push_back(s[i], s.secret_at(i));
            ++i;
        }
        if (i < n) ++i;
    };
    if (i < n && s[i] == '"') {
        take_quoted(logon.user);
    } else {
        for (; i < n && s[i] != '/' && s[i] != '@'; ++i) logon.user.push_back(s[i], s.secret_at(i));
    }
    if (i < n && s[i] == '/') {
        ++i;
        logon.has_password = true;
        if (i < n && s[i] == '"') {
            take_quoted(logon.password);
        } else {
            for (; i < n && s[i] != '@'; ++i) logon.password.push_back(s[i], s.secret_at(i));
        }
    }
    if (i < n && s[i] == '@') logon.connect = s.substr(i + 1);
    return logon;
}

StatementKind classify_statement(const std::vector<std::string>& lines) {
    const std::vector<std::string> w = leading_words(join(lines), 6);
    if (w.empty()) return StatementKind::kUndecided;
    if (w[0] == "DECLARE" || w[0] == "BEGIN") return StatementKind::kPlsql;
    if (w[0] != "CREATE") return StatementKind::kSql;
    std::size_t i = 1;
    if (i < w.size() && w[i] == "OR") {
        if (++i >= w.size()) return StatementKind::kUndecided;
        if (w[i++] != "REPLACE") return StatementKind::kSql;
    }
    if (i < w.size() && (w[i] == "EDITIONABLE" || w[i] == "NONEDITIONABLE" || w[i] == "EDITIONING"))
        ++i;
    if (i >= w.size()) return StatementKind::kUndecided;
    for (const char* unit :
         {"PACKAGE", "PROCEDURE", "FUNCTION", "TRIGGER", "TYPE", "LIBRARY", "JAVA"}) {
        if (w[i] == unit) return StatementKind::kPlsql;
    }
    return StatementKind::kSql;
}

std::string acknowledgement(const std::string& statement) {
    const std::vector<std::string> w = leading_words(statement, 8);
    auto word = [&](std::size_t i) { return i < w.size() ? w[i] : std::string(); };
    const std::string verb = word(0);
    if (verb == "CREATE" || verb == "ALTER" || verb == "DROP") {
        std::size_t i = 1;
        static const char* const kSkipped[] = {
            "OR",     "REPLACE", "EDITIONABLE", "NONEDITIONABLE", "PUBLIC",  "UNIQUE", "BITMAP",
            "GLOBAL", "PRIVATE", "TEMPORARY",   "FORCE",          "NOFORCE", "SHARED"};
        bool skipped = verb == "CREATE";
        while (skipped) {
            skipped = false;
            for (const char* s : kSkipped) {
                if (word(i) == s) {
                    ++i;
                    skipped = true;
                    break;
                }
            }
        }
        std::string object = word(i);
        if (object.empty()) return "Statement recorded.";
        if (object == "MATERIALIZED") object = "MATERIALIZED VIEW";
        if ((object == "PACKAGE" || object == "TYPE") && word(i + 1) == "BODY") object += " BODY";
        const char* done = verb == "CREATE"  ? " created."
                           : verb == "ALTER" ? " altered."
                                             : " dropped.";
        return capitalized(object) + done;
    }
    if (verb == "GRANT") return "Grant succeeded.";
    if (verb == "REVOKE") return "Revoke succeeded.";
    if (verb == "COMMIT") return "Commit complete.";
    if (verb == "ROLLBACK") return "Rollback complete.";
    if (verb == "SAVEPOINT") return "Savepoint created.";
    if (verb == "TRUNCATE") return "Table truncated.";
    if (verb == "COMMENT") return "Comment created.";
    if (verb == "CALL") return "Call completed.";
    if (verb == "DECLARE" || verb == "BEGIN") return "PL/SQL procedure successfully completed.";
    if (verb == "INSERT" && upper(statement).find("VALUES") != std::string::npos)
        return "1 row created.";
    return "Statement recorded.";
}

Interpreter::Interpreter(Host& host) : host_(host) {}

Interpreter::Command Interpreter::lookup(const std::string& word) {
    struct Name {
        const char* full;
        std::size_t min;
        Command command;
    };
    static const Name kNames[] = {
        {"ACCEPT", 3, Command::kAccept},     {"BREAK", 3, Command::kBreak},
        {"BTITLE", 3, Command::kBtitle},     {"CLEAR", 2, Command::kClear},
        {"COLUMN", 3, Command::kColumn},     {"COMPUTE", 4, Command::kCompute},
        {"CONNECT", 4, Command::kConnect},   {"DEFINE", 3, Command::kDefine},
        {"DESCRIBE", 4, Command::kDescribe}, {"DISCONNECT", 4, Command::kDisconnect},
        {"EXECUTE", 4, Command::kExecute},   {"EXIT", 4, Command::kExit},
        {"HOST", 2, Command::kHost},         {"PAUSE", 3, Command::kPause},
        {"PRINT", 3, Command::kPrint},       {"PROMPT", 3, Command::kPrompt},
        {"QUIT", 4, Command::kQuit},         {"REMARK", 3, Command::kRemark},
        {"RUN", 1, Command::kRun},           {"SET", 3, Command::kSet},
        {"SHOW", 3, Command::kShow},         {"SPOOL", 3, Command::kSpool},
        {"START", 3, Command::kStart},       {"TTITLE", 3, Command::kTtitle},
        {"UNDEFINE", 5, Command::kUndefine}, {"VARIABLE", 3, Command::kVariable},
        {"WHENEVER", 8, Command::kWhenever}};
    for (const Name& name : kNames) {
        if (abbreviates(word, name.full, name.min)) return name.command;
    }
    return Command::kNone;
}

int Interpreter::run(const std::vector<std::string>& args) {
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string option = upper(args[i]);
        if (option.size() < 2 || option[0] != '-') break;
        if (option == "-S" || option == "-SILENT") {
            silent_ = true;
        } else if (option == "-V" || option == "-VERSION") {
            host_.out("SQL*Plus stand-in for tests and demos (not Oracle SQL*Plus; no database)\n");
            return 0;
        } else if (option == "-H" || option == "-HELP" || option == "-?") {
            host_.out(
                "Usage: sqlplus [-S] [logon | /NOLOG] [@script [arguments...]]\n"
                "  logon: user[/password][@connect] [AS SYSDBA|SYSOPER] or / AS SYSDBA\n");
            return 0;
        } else if (option == "-M" || option == "-MARKUP" || option == "-R" ||
                   option == "-RESTRICT" || option == "-C" || option == "-COMPATIBILITY") {
            ++i;  // takes a value
        }
    }
    bool have_logon = false;
    std::string logon_arg;
    std::string role;
    if (i < args.size() && (args[i].empty() || args[i][0] != '@')) {
        have_logon = true;
        logon_arg = args[i++];
        if (i + 1 < args.size() && upper(args[i]) == "AS") {
            role = upper(args[i + 1]);
            i += 2;
        }
    }
    bool have_script = false;
    std::string script;
    std::vector<Text> script_args;
    if (i < args.size() && !args[i].empty() && args[i][0] == '@') {
        have_script = true;
        script = args[i++].substr(1);
        if (!script.empty() && script[0] == '@') script.erase(0, 1);
        if (script.empty() && i < args.size()) script = args[i++];
        for (; i < args.size(); ++i) script_args.emplace_back(args[i]);
    }
    if (i < args.size()) {
        host_.err("SP2-0306: Invalid option \"" + args[i] +
                  "\".\n"
                  "Usage: sqlplus [-S] [logon | /NOLOG] [@script [arguments...]]\n");
        return 1;
    }

    host_.out(
        "SQL*Plus stand-in: this is not an Oracle database. Statements are recorded, not "
        "executed.\n");
    host_.record("SESSION " + host_.timestamp());
    if (have_logon && upper(logon_arg) != "/NOLOG") {
        Logon parsed = parse_logon(Text(logon_arg));
        parsed.password = Text::secret(parsed.password.str());
        logon(parsed, role, "LOGON");
    } else if (!have_logon) {
        host_.out("SQL*Plus stand-in: no logon given; not connected (use CONNECT).\n");
    }

    Source console;
    console.from_stdin = true;
    if (have_script && !exiting_) run_script(Text(script), script_args, false, console);
    if (!exiting_) run_source(console);
    if (!exiting_) {
        host_.out("\n");
        finish(0, "0 (end of input)");
    }
    return status_;
}

std::optional<std::string> Interpreter::next_line(Source& source, const std::string& prompt) {
    if (!source.from_stdin) {
        if (source.next >= source.lines.size()) return std::nullopt;
        const std::string& line = source.lines[source.next++];
        if (echo_ && !silent_) host_.out(prompt + line + "\n");
        return line;
    }
    if (input_ended_) return std::nullopt;
    if (!silent_) host_.out(prompt);
    std::optional<std::string> line = host_.read_line(false);
    if (!line) input_ended_ = true;
    return line;
}

std::optional<std::string> Interpreter::read_typed(bool hide) {
    if (input_ended_) return std::nullopt;
    std::optional<std::string> line = host_.read_line(hide);
    if (!line) input_ended_ = true;
    // Typed input shows its own line end on a terminal; redirected input does not.
    if (!host_.input_is_terminal()) host_.out("\n");
    return line;
}

Text Interpreter::substitute_line(const std::string& line) {
    return substitute(line, substitution_, variables_, [this](const std::string& name) {
        host_.out("Enter value for " + name + ": ");
        // Masked like ACCEPT answers: input meant for a password prompt may land here.
        return Text::secret(read_typed(false).value_or(""));
    });
}

void Interpreter::run_source(Source& source) {
    std::vector<std::string> entry;  // a statement being typed in
    bool entering = false;
    bool in_comment = false;
    while (!exiting_) {
        const std::string prompt = entering ? line_number(entry.size() + 1) + "  " : "SQL> ";
        std::optional<std::string> line = next_line(source, prompt);
        if (!line) break;
        if (in_comment) {
            if (line->find("*/") != std::string::npos) in_comment = false;
            continue;
        }
        if (entering) {
            if (add_statement_line(entry, *line)) entering = false;
            continue;
        }
        const std::string trimmed = trim(*line);
        if (trimmed.empty() || starts_with(trimmed, "--")) continue;
        if (starts_with(trimmed, "/*")) {
            in_comment = trimmed.find("*/", 2) == std::string::npos;
            continue;
        }
        if (trimmed == "/") {
            execute_buffer();
            continue;
        }
        if (trimmed == ".") continue;
        const std::string word = upper(leading_word(trimmed));
        Command command = lookup(word);
        if (command == Command::kRemark) continue;
        if (command == Command::kSet) {
            const std::vector<std::string> w = leading_words(trimmed, 2);
            if (w.size() == 2 && (w[1] == "TRANSACTION" || w[1] == "ROLE" || w[1] == "CONSTRAINT" ||
                                  w[1] == "CONSTRAINTS")) {
                command = Command::kNone;  // SQL, not the SET command
            }
        }
        if (command != Command::kNone || trimmed[0] == '@') {
            // A SQL*Plus command goes on to the next line after a trailing " -".
            std::string full = trimmed;
            while (full.size() >= 2 && full.back() == '-' && is_blank(full[full.size() - 2])) {
                full.pop_back();
                std::optional<std::string> more = next_line(source, "> ");
                if (!more) break;
                full += trim(*more);
            }
            handle_command(command, full, source);
            continue;
        }
        if (is_sql_start(word) || trimmed[0] == '(') {
            entry.clear();
            entering = !add_statement_line(entry, *line);
            continue;
        }
        host_.out("SP2-0734: unknown command beginning \"" + trimmed.substr(0, 10) +
                  "...\" - rest of line ignored.\n");
    }
    // A statement left unfinished at the end of a script stays in the buffer.
    if (entering && !entry.empty()) buffer_ = entry;
}

// Takes one more line of the statement being entered; true when the entry
// is over (the statement was run, or stored in the buffer without running).
bool Interpreter::add_statement_line(std::vector<std::string>& entry, const std::string& line) {
    const std::string trimmed = trim(line);
    if (trimmed == "/" || trimmed == ".") {
        buffer_ = entry;
        if (trimmed == "/") execute_buffer();
        return true;
    }
    std::vector<std::string> probe = entry;
    probe.push_back(line);
    if (classify_statement(probe) != StatementKind::kPlsql) {
        if (trimmed.empty() && !blank_lines_) {
            if (!entry.empty()) buffer_ = entry;
            return true;
        }
        if (!trimmed.empty() && trimmed.back() == ';') {
            std::string body = rtrim(line);
            body.pop_back();
            body = rtrim(body);
            if (!trim(body).empty()) entry.push_back(body);
            buffer_ = entry;
            execute_buffer();
            return true;
        }
    }
    entry.push_back(rtrim(line));
    return false;
}

void Interpreter::execute_buffer() {
    if (buffer_.empty()) {
        host_.out("SP2-0103: Nothing in SQL buffer to run.\n");
        return;
    }
    const bool plsql = classify_statement(buffer_) == StatementKind::kPlsql;
    std::vector<Text> lines;
    for (std::size_t i = 0; i < buffer_.size() && !exiting_; ++i) {
        Text line = substitute_line(buffer_[i]);
        if (verify_ && line.str() != buffer_[i]) {
            host_.out("old " + line_number(i + 1) + ": " + buffer_[i] + "\n");
            host_.out("new " + line_number(i + 1) + ": " + line.shown() + "\n");
        }
        lines.push_back(line);
    }
    send(lines, plsql);
}

void Interpreter::send(const std::vector<Text>& lines, bool plsql) {
    std::string record = plsql ? "PLSQL" : "SQL";
    std::string statement;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        record += (i == 0 ? " " : "\n  | ") + lines[i].shown();
        statement += (i == 0 ? "" : "\n") + lines[i].str();
    }
    if (!connected_) {
        host_.out("SP2-0640: Not connected\n");
        host_.record("NOT-SENT " + record);
        return;
    }
    host_.record(record);
    if (feedback_) host_.out(acknowledgement(statement) + "\n");
}

void Interpreter::handle_command(Command command, const std::string& line, Source& source) {
    const Text text = substitute_line(line);
    if (exiting_) return;
    std::size_t p = 0;
    if (command == Command::kNone) {  // @ or @@
        const bool relative = text.size() > 1 && text[1] == '@';
        start_script(text.substr(relative ? 2 : 1), relative, source);
        return;
    }
    while (p < text.size() && is_letter(text[p])) ++p;
    const Text rest = text.substr(p);
    switch (command) {
        case Command::kAccept: accept(rest); break;
        case Command::kDefine: define(rest); break;
        case Command::kUndefine: {
            std::size_t pos = 0;
            Text name;
            const Text names = strip_semicolon(rest);
            while (next_token(names, pos, name)) variables_.undefine(name.str());
            break;
        }
        case Command::kPrompt: host_.out(trim(rest).shown() + "\n"); break;
        case Command::kSet: set(strip_semicolon(rest)); break;
        case Command::kConnect: connect(strip_semicolon(rest)); break;
        case Command::kDisconnect:
            if (connected_) host_.out("Disconnected from the SQL*Plus stand-in.\n");
            connected_ = false;
            user_.clear();
            host_.record("DISCONNECT");
            break;
        case Command::kExit:
        case Command::kQuit: exit_command(strip_semicolon(rest)); break;
        case Command::kWhenever: whenever(strip_semicolon(rest)); break;
        case Command::kShow: show(strip_semicolon(rest)); break;
        case Command::kStart: start_script(rest, false, source); break;
        case Command::kRun: execute_buffer(); break;
        case Command::kExecute: {
            const Text body = strip_semicolon(rest);
            if (body.empty()) {
                host_.out("Usage: EXEC[UTE] statement\n");
            } else {
                send({Text("BEGIN ") + body + Text("; END;")}, true);
            }
            break;
        }
        case Command::kHost:
            host_.record("HOST " + trim(rest).shown());
            host_.out("SQL*Plus stand-in: HOST commands are not run.\n");
            break;
        case Command::kPause:
            host_.out(trim(rest).shown() + "\n");
            read_typed(false);
            break;
        case Command::kDescribe:
            host_.out("SQL*Plus stand-in: there are no database objects to describe.\n");
            break;
        default: break;  // formatting commands and SPOOL: accepted, nothing to do
    }
}

void Interpreter::start_script(const Text& rest, bool relative_to_caller, Source& caller) {
    std::size_t pos = 0;
    Text path;
    if (!next_token(rest, pos, path) || path.empty()) {
        host_.out("SP2-1506: START, @ or @@ command has no arguments\n");
        return;
    }
    std::vector<Text> args;
    Text arg;
    while (next_token(rest, pos, arg)) args.push_back(arg);
    run_script(path, args, relative_to_caller, caller);
}

void Interpreter::run_script(const Text& path, const std::vector<Text>& args,
                             bool relative_to_caller, const Source& caller) {
    Text resolved = path;
    if (relative_to_caller && !caller.from_stdin && !is_absolute(path.str())) {
        const std::size_t slash = caller.path.find_last_of("\\/");
        if (slash != std::string::npos) resolved = Text(caller.path.substr(0, slash + 1)) + path;
    }
    if (!has_extension(resolved.str())) resolved += Text(".sql");
    if (caller.depth >= kMaxDepth) {
        host_.out("SP2-0309: SQL*Plus command procedures may only be nested to a depth of " +
                  std::to_string(kMaxDepth) + ".\n");
        return;
    }
    std::string contents;
    if (!host_.read_file(resolved.str(), contents)) {
        host_.out("SP2-0310: unable to open file \"" + resolved.shown() + "\"\n");
        host_.record("SP2-0310 unable to open file \"" + resolved.shown() + "\"");
        return;
    }
    std::string record = "SCRIPT " + resolved.shown();
    for (const Text& arg : args) {
        std::string shown = arg.shown();
        std::string quoted;
        for (char c : shown) quoted += (c == '"') ? std::string("\"\"") : std::string(1, c);
        record += " \"" + quoted + "\"";
    }
    host_.record(record);
    for (std::size_t i = 0; i < args.size(); ++i) variables_.define(std::to_string(i + 1), args[i]);
    Source script;
    script.lines = split_lines(contents);
    script.path = resolved.str();
    script.depth = caller.depth + 1;
    run_source(script);
}

void Interpreter::accept(const Text& rest) {
    std::size_t pos = 0;
    Text name;
    bool valid = next_token(rest, pos, name) && !name.empty();
    for (std::size_t i = 0; valid && i < name.size(); ++i) valid = is_name_char(name[i]);
    if (!valid) {
        host_.out("SP2-0003: Ill-formed ACCEPT command starting as" + rest.shown() + "\n");
        return;
    }
    bool hide = false;
    bool number = false;
    bool no_prompt = false;
    std::optional<Text> prompt;
    std::optional<Text> default_value;
    Text token;
    while (next_token(rest, pos, token)) {
        const std::string word = upper(token.str());
        Text value;
        if (abbreviates(word, "NUMBER", 3)) {
            number = true;
        } else if (word == "CHAR" || word == "DATE" || word == "BINARY_FLOAT" ||
                   word == "BINARY_DOUBLE") {
            // nothing to check for these
        } else if (abbreviates(word, "FORMAT", 3) && next_token(rest, pos, value)) {
            // the format is not enforced
        } else if (abbreviates(word, "DEFAULT", 3) && next_token(rest, pos, value)) {
            default_value = value;
        } else if (abbreviates(word, "PROMPT", 3) && next_token(rest, pos, value)) {
            prompt = value;
        } else if (abbreviates(word, "NOPROMPT", 4)) {
            no_prompt = true;
        } else if (word == "HIDE") {
            hide = true;
        } else {
            host_.out("SP2-0003: Ill-formed ACCEPT command starting as " + token.shown() + "\n");
            return;
        }
    }
    Text value;
    for (;;) {
        if (prompt) {
            host_.out(prompt->shown());
        } else if (no_prompt) {
            host_.out("\n");
        } else {
            host_.out("Enter value for " + name.str() + ": ");
        }
        std::optional<std::string> typed = read_typed(hide);
        if (!typed) break;  // end of input: the value stays empty
        value = Text::secret(*typed);
        if (typed->empty() && default_value) value = *default_value;
        if (number && !is_number(value.str())) {
            host_.out(std::string("SP2-0425: \"") + kMask + "\" is not a valid NUMBER\n");
            value = Text();
            continue;
        }
        break;
    }
    variables_.define(name.str(), value);
}

void Interpreter::define(const Text& rest) {
    std::size_t pos = 0;
    while (pos < rest.size() && is_blank(rest[pos])) ++pos;
    if (pos >= rest.size()) {
        for (const auto& entry : variables_.all()) {
            std::string name = entry.first;
            if (name.size() < 15) name.resize(15, ' ');
            host_.out("DEFINE " + name + " = \"" + entry.second.shown() + "\" (CHAR)\n");
        }
        return;
    }
    const std::size_t begin = pos;
    while (pos < rest.size() && is_name_char(rest[pos])) ++pos;
    const std::string name = rest.substr(begin, pos - begin).str();
    if (name.empty() || (pos < rest.size() && !is_blank(rest[pos]) && rest[pos] != '=')) {
        host_.out("SP2-0553: Illegal variable name \"" + trim(rest).shown() + "\".\n");
        return;
    }
    while (pos < rest.size() && is_blank(rest[pos])) ++pos;
    if (pos >= rest.size()) {
        const Text* value = variables_.find(name);
        if (value == nullptr) {
            host_.out("SP2-0135: symbol " + name + " is UNDEFINED\n");
        } else {
            host_.out("DEFINE " + upper(name) + " = \"" + value->shown() + "\" (CHAR)\n");
        }
        return;
    }
    if (rest[pos] == '=') {
        ++pos;
        while (pos < rest.size() && is_blank(rest[pos])) ++pos;
    }
    Text value;
    if (pos < rest.size() && (rest[pos] == '"' || rest[pos] == '\'')) {
        const char quote = rest[pos++];
        while (pos < rest.size()) {
            if (rest[pos] == quote) {
                if (pos + 1 < rest.size() && rest[pos + 1] == quote) {
                    value.push_back(quote, rest.secret_at(pos));
                    pos += 2;
                    continue;
                }
                break;
            }
            value.push_back(rest[pos], rest.secret_at(pos));
            ++pos;
        }
    } else {
        value = trim(rest.substr(pos));
    }
    variables_.define(name, value);
}

void Interpreter::set(const Text& rest) {
    std::size_t pos = 0;
    Text option;
    auto set_flag = [this](const std::string& value, bool& flag, const char* name) {
        if (value == "ON" || value == "OFF") {
            flag = value == "ON";
        } else {
            host_.out(std::string("SP2-0265: ") + name + " must be set ON or OFF\n");
        }
    };
    auto set_char = [this](const std::string& value, bool& on, char& c, char normal,
                           const char* name) {
        const std::string word = upper(value);
        if (word == "ON") {
            on = true;
            c = normal;
        } else if (word == "OFF") {
            on = false;
        } else if (value.size() == 1 && !is_name_char(value[0]) && !is_blank(value[0])) {
            on = true;
            c = value[0];
        } else {
            host_.out(std::string("SP2-0272: ") + name +
                      " character cannot be alphanumeric or whitespace\n");
        }
    };
    while (next_token(rest, pos, option)) {
        const std::string name = upper(option.str());
        Text value_text;
        next_token(rest, pos, value_text);
        const std::string& raw = value_text.str();
        const std::string value = upper(raw);
        if (abbreviates(name, "ESCAPE", 3)) {
            set_char(raw, substitution_.escape_on, substitution_.escape_char, '\\', "escape");
        } else if (abbreviates(name, "DEFINE", 3)) {
            set_char(raw, substitution_.define_on, substitution_.define_char, '&', "define");
        } else if (abbreviates(name, "CONCAT", 3)) {
            set_char(raw, substitution_.concat_on, substitution_.concat_char, '.', "concat");
        } else if (abbreviates(name, "VERIFY", 3)) {
            set_flag(value, verify_, "verify");
        } else if (name == "ECHO") {
            set_flag(value, echo_, "echo");
        } else if (abbreviates(name, "SQLBLANKLINES", 5)) {
            set_flag(value, blank_lines_, "sqlblanklines");
        } else if (abbreviates(name, "FEEDBACK", 4)) {
            int rows = 0;
            if (parse_int(value, rows)) {
                feedback_ = rows > 0;
            } else {
                set_flag(value, feedback_, "feedback");
            }
        }
        // Every other option (PAGESIZE, LINESIZE, SERVEROUTPUT...) only formats
        // output a database would return: accepted and ignored.
    }
}

void Interpreter::connect(const Text& rest) {
    std::size_t pos = 0;
    Text logon_text = next_raw_token(rest, pos);
    std::string role;
    Text token;
    if (next_token(rest, pos, token)) {
        Text role_token;
        if (upper(token.str()) != "AS" || !next_token(rest, pos, role_token)) {
            host_.out(
                "SP2-0306: Invalid option.\nUsage: CONN[ECT] [{logon|/|proxy} [AS "
                "{SYSDBA|SYSOPER}]]\n");
            return;
        }
        role = upper(role_token.str());
    }
    Logon parsed;
    if (logon_text.empty()) {
        host_.out("Enter user-name: ");
        std::optional<std::string> typed = read_typed(false);
        const Text typed_text(typed.value_or(""));
        std::size_t typed_pos = 0;
        logon_text = next_raw_token(typed_text, typed_pos);
        if (next_token(typed_text, typed_pos, token) && upper(token.str()) == "AS" &&
            next_token(typed_text, typed_pos, token)) {
            role = upper(token.str());
        }
        parsed = parse_logon(logon_text);
        parsed.password = Text::secret(parsed.password.str());
    } else {
        parsed = parse_logon(logon_text);
    }
    logon(parsed, role, "CONNECT");
}

bool Interpreter::logon(Logon l, const std::string& role, const std::string& command_word) {
    static const char* const kRoles[] = {"SYSDBA", "SYSOPER", "SYSASM", "SYSBACKUP",
                                         "SYSDG",  "SYSKM",   "SYSRAC"};
    bool known_role = role.empty();
    for (const char* r : kRoles) known_role = known_role || role == r;
    if (!known_role) {
        host_.out(
            "SP2-0306: Invalid option.\nUsage: CONN[ECT] [{logon|/|proxy} [AS "
            "{SYSDBA|SYSOPER}]]\n");
        return false;
    }
    if (!l.has_password && !l.user.empty()) {
        host_.out("Enter password: ");
        l.password = Text::secret(read_typed(true).value_or(""));
        l.has_password = true;
    }
    std::string shown = l.user.shown();
    shown += l.user.empty() ? std::string("/") : std::string("/") + kMask;
    if (!l.connect.empty()) shown += "@" + l.connect.shown();
    if (!role.empty()) shown += " AS " + role;
    if (!l.user.empty() && l.password.empty()) {
        host_.out("ERROR:\nORA-01005: null password given; logon denied\n\n");
        if (connected_) host_.out("Warning: You are no longer connected to ORACLE.\n");
        connected_ = false;
        user_.clear();
        host_.record(command_word + " " + shown + " FAILED ORA-01005");
        sql_error(1005);
        return false;
    }
    connected_ = true;
    user_ = !l.user.empty() ? upper(l.user.shown()) : role == "SYSDBA" ? "SYS" : "PUBLIC";
    host_.record(command_word + " " + shown);
    host_.out("SQL*Plus stand-in: no database session was opened.\nConnected.\n");
    return true;
}

void Interpreter::sql_error(int code) {
    last_sqlcode_ = code;
    if (!sqlerror_exit_) return;
    const int status = *sqlerror_exit_ < 0 ? code : *sqlerror_exit_;
    finish(status, std::to_string(status) + " (WHENEVER SQLERROR)");
}

void Interpreter::exit_command(const Text& rest) {
    std::size_t pos = 0;
    Text first;
    int status = 0;
    std::string recorded = "0";
    if (next_token(rest, pos, first)) {
        const std::string word = upper(first.str());
        if (word == "COMMIT" || word == "ROLLBACK") {
            status = 0;
        } else if (word == "SQL.SQLCODE") {
            status = last_sqlcode_;
        } else if (!exit_status(word, status)) {
            // Not a status: leave, but never report it as success.
            host_.out("SP2-0584: EXIT variable \"" + first.shown() + "\" was non-numeric\n");
            status = 1;
        }
        recorded = first.has_secret() ? std::string(kMask) : std::to_string(status);
    }
    finish(status, recorded);
}

void Interpreter::whenever(const Text& rest) {
    std::size_t pos = 0;
    Text kind;
    Text action;
    Text value;
    if (next_token(rest, pos, kind) && next_token(rest, pos, action)) {
        const std::string what = upper(kind.str());
        const std::string how = upper(action.str());
        if ((what == "SQLERROR" || what == "OSERROR") && (how == "EXIT" || how == "CONTINUE")) {
            if (what == "SQLERROR" && how == "CONTINUE") sqlerror_exit_.reset();
            if (what == "SQLERROR" && how == "EXIT") {
                int status = 0;
                std::string word = next_token(rest, pos, value) ? upper(value.str()) : "SUCCESS";
                if (word == "COMMIT" || word == "ROLLBACK") word = "SUCCESS";
                if (word == "SQL.SQLCODE") {
                    sqlerror_exit_ = -1;
                } else if (exit_status(word, status)) {
                    sqlerror_exit_ = status;
                } else {
                    host_.out("SP2-0584: EXIT variable \"" + value.shown() +
                              "\" was non-numeric\n");
                    sqlerror_exit_ = 1;
                }
            }
            return;
        }
    }
    host_.out(
        "Usage: WHENEVER {SQLERROR|OSERROR} {EXIT [SUCCESS|FAILURE|WARNING|n] [COMMIT|ROLLBACK]"
        " | CONTINUE [COMMIT|ROLLBACK|NONE]}\n");
}

void Interpreter::show(const Text& rest) {
    std::size_t pos = 0;
    Text what;
    next_token(rest, pos, what);
    const std::string word = upper(what.str());
    if (abbreviates(word, "ERRORS", 3)) {
        host_.out("No errors.\n");
    } else if (word == "USER") {
        host_.out("USER is \"" + user_ + "\"\n");
    } else {
        host_.out("SQL*Plus stand-in: nothing to show for \"" + what.shown() + "\".\n");
    }
}

void Interpreter::finish(int status, const std::string& recorded_status) {
    host_.record("EXIT " + recorded_status);
    if (connected_) host_.out("Disconnected from the SQL*Plus stand-in (no database was used).\n");
    connected_ = false;
    exiting_ = true;
    status_ = status;
}

}  // namespace sqlplus
