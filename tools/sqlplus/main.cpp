// sqlplus: a stand-in for Oracle SQL*Plus where no database can run. It runs
// the setup's scripts the way SQL*Plus would, asks the same questions, and
// records in a transcript what it would have sent to the database.
#include <string>
#include <vector>

#include "tools/sqlplus/console_host.h"
#include "tools/sqlplus/interpreter.h"

int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    sqlplus::ConsoleHost host;
    sqlplus::Interpreter interpreter(host);
    return interpreter.run(args);
}
