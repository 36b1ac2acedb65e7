// The run's one record of answers and derived values. Every field has a
// fixed capacity (the terminator included) and is always terminated.
#pragma once

#include <cstddef>

constexpr std::size_t PATH_CAPACITY = 260;  // the Windows path limit, MAX_PATH
constexpr std::size_t NAME_CAPACITY = 20;
constexpr std::size_t PORT_CAPACITY = 6;
constexpr std::size_t DBCONNECT_CAPACITY = 100;

struct SetupParameters {
    char SOURCE_DIR[PATH_CAPACITY] = "";
    char SOURCE_DATA_DIR[PATH_CAPACITY] = "";
    char DBSERVICE[NAME_CAPACITY] = "XEPDB1";
    char APP_OWNER[NAME_CAPACITY] = "";
    char CONNECT_USER[NAME_CAPACITY] = "";
    char PORT[PORT_CAPACITY] = "";
    char APP_DIRECTORY[PATH_CAPACITY] = "";  // the application directory answer
    char APP_HOME[PATH_CAPACITY] = "";
    char SQL_APP_HOME[PATH_CAPACITY] = "";
    char DATA_DIRECTORY[PATH_CAPACITY] = "";  // the data directory answer
    char DATA_HOME[PATH_CAPACITY] = "";
    char SQL_DATA_HOME[PATH_CAPACITY] = "";
    char DBCONNECT[DBCONNECT_CAPACITY] = "";
};
