// The text rules of the stand-in, checked without running the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/sqlplus/interpreter.h"
#include "tools/sqlplus/substitution.h"
#include "tools/sqlplus/text.h"

namespace sqlplus {
namespace {

// Substitutes with the given settings; undefined names are answered from
// `answers` in order and logged in `asked`.
struct Substituter {
    SubstitutionSettings settings;
    Variables variables;
    std::vector<std::string> answers;
    std::vector<std::string> asked;

    Text operator()(const std::string& line) {
        return substitute(line, settings, variables, [this](const std::string& name) {
            asked.push_back(name);
            std::string answer = answers.empty() ? "" : answers.front();
            if (!answers.empty()) answers.erase(answers.begin());
            return Text(answer);
        });
    }
};

TEST(Substitution, ReplacesNamesAndEndsThemAtTheConcatenationDot) {
    Substituter s;
    s.variables.define("v_app_home", Text("C:\\APP"));
    s.variables.define("1", Text("XEPDB1"));
    EXPECT_EQ(s("@&v_app_home\\x &1:&V_APP_HOME..sql").str(), "@C:\\APP\\x XEPDB1:C:\\APP.sql");
    EXPECT_TRUE(s.asked.empty());
}

TEST(Substitution, AmpersandWithoutANameStaysLiteral) {
    Substituter s;
    EXPECT_EQ(s("Tom & Jerry && more &").str(), "Tom & Jerry && more &");
    EXPECT_TRUE(s.asked.empty());
}

TEST(Substitution, EscapeKeepsAmpersandAndBackslashLiteralOnlyWhenOn) {
    Substituter s;
    s.variables.define("d", Text("VALUE"));
    s.settings.escape_on = true;
    EXPECT_EQ(s("C:\\\\R\\&D \\&d \\x &d").str(), "C:\\R&D &d \\x VALUE");
    s.settings.escape_on = false;
    EXPECT_EQ(s("C:\\\\R \\&d").str(), "C:\\\\R \\VALUE");
}

TEST(Substitution, ValuesAreNotScannedAgain) {
    Substituter s;
    s.settings.escape_on = true;
    s.variables.define("a", Text("&b \\\\"));
    s.variables.define("b", Text("wrong"));
    EXPECT_EQ(s("[&a]").str(), "[&b \\\\]");
}

TEST(Substitution, DoubleAmpersandDefinesOnceSingleAsksEveryTime) {
    Substituter s;
    s.answers = {"first", "second", "third"};
    EXPECT_EQ(s("&&x &&x &y &y").str(), "first first second third");
    EXPECT_EQ(s.asked, (std::vector<std::string>{"x", "y", "y"}));
    ASSERT_NE(s.variables.find("X"), nullptr);
    EXPECT_EQ(s.variables.find("X")->str(), "first");
    EXPECT_EQ(s.variables.find("y"), nullptr);
}

TEST(Substitution, DefineOffAndOtherCharacters) {
    Substituter s;
    s.variables.define("x", Text("1"));
    s.settings.define_on = false;
    EXPECT_EQ(s("&x").str(), "&x");
    s.settings.define_on = true;
    s.settings.define_char = '^';
    s.settings.concat_char = '+';
    EXPECT_EQ(s("^x+y &x ^x.y").str(), "1y &x 1.y");
    EXPECT_TRUE(s.asked.empty());
}

TEST(Substitution, SecretValuesStayMaskedThroughCopies) {
    Substituter s;
    s.variables.define("pwd", Text::secret("hunter2"));
    Text copy = s("&pwd");
    s.variables.define("copy", copy);
    const Text line = s("CONNECT u/&copy@db \"&pwd\"&pwd");
    EXPECT_EQ(line.str(), "CONNECT u/hunter2@db \"hunter2\"hunter2");
    EXPECT_EQ(line.shown(), std::string("CONNECT u/") + kMask + "@db \"" + kMask + "\"" + kMask);
    EXPECT_EQ(line.substr(10, 7).shown(), kMask);
    EXPECT_EQ(line.substr(0, 10).shown(), "CONNECT u/");
}

TEST(Logon, SplitsUserPasswordAndConnectIdentifier) {
    Logon a = parse_logon(Text("SYS/pw@//localhost:1521/XEPDB1"));
    EXPECT_EQ(a.user.str(), "SYS");
    EXPECT_TRUE(a.has_password);
    EXPECT_EQ(a.password.str(), "pw");
    EXPECT_EQ(a.connect.str(), "//localhost:1521/XEPDB1");

    Logon b = parse_logon(Text("owner/\"p@ss/w\"@db"));
    EXPECT_EQ(b.password.str(), "p@ss/w");
    EXPECT_EQ(b.connect.str(), "db");

    Logon c = parse_logon(Text("scott@//h/s"));
    EXPECT_EQ(c.user.str(), "scott");
    EXPECT_FALSE(c.has_password);
    EXPECT_EQ(c.connect.str(), "//h/s");

    Logon d = parse_logon(Text("/"));
    EXPECT_TRUE(d.user.empty());
    EXPECT_TRUE(d.has_password);
    EXPECT_TRUE(d.password.empty());
}

TEST(Statements, PlsqlUnitsAreToldFromSql) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(classify_statement(Lines{"begin"}), StatementKind::kPlsql);
    EXPECT_EQ(classify_statement(Lines{"DECLARE x NUMBER;"}), StatementKind::kPlsql);
    EXPECT_EQ(classify_statement(Lines{"create or replace package body p as"}),
              StatementKind::kPlsql);
    EXPECT_EQ(classify_statement(Lines{"CREATE OR REPLACE", "TRIGGER t"}), StatementKind::kPlsql);
    EXPECT_EQ(classify_statement(Lines{"CREATE OR REPLACE"}), StatementKind::kUndecided);
    EXPECT_EQ(classify_statement(Lines{"CREATE OR REPLACE VIEW v AS"}), StatementKind::kSql);
    EXPECT_EQ(classify_statement(Lines{"CREATE TABLE t (x NUMBER);"}), StatementKind::kSql);
    EXPECT_EQ(classify_statement(Lines{"insert into t values (1);"}), StatementKind::kSql);
}

TEST(Statements, AcknowledgementsNameWhatWasDone) {
    EXPECT_EQ(acknowledgement("create table t (x number)"), "Table created.");
    EXPECT_EQ(acknowledgement("CREATE OR REPLACE PACKAGE BODY p AS"), "Package body created.");
    EXPECT_EQ(acknowledgement("CREATE UNIQUE INDEX i ON t (x)"), "Index created.");
    EXPECT_EQ(acknowledgement("ALTER USER x ACCOUNT LOCK"), "User altered.");
    EXPECT_EQ(acknowledgement("DROP SEQUENCE s"), "Sequence dropped.");
    EXPECT_EQ(acknowledgement("GRANT CREATE SESSION TO u"), "Grant succeeded.");
    EXPECT_EQ(acknowledgement("INSERT INTO t (x) VALUES (1)"), "1 row created.");
    EXPECT_EQ(acknowledgement("BEGIN NULL; END;"), "PL/SQL procedure successfully completed.");
    EXPECT_EQ(acknowledgement("UPDATE t SET x = 1"), "Statement recorded.");
}

}  // namespace
}  // namespace sqlplus
