// For the Wine tests: joins the runs that log into the file given first and
// takes their turn, says "holding" once it has it, and keeps it until the
// file given second exists.
#include <windows.h>

#include <cstdio>

#include "platform/win32/append_turn.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: hold_log_turn LOG RELEASE_FILE\n");
        return 2;
    }
    using platform::append_turn::Turn;
    Turn turn = platform::append_turn::take(argv[1], true);
    if (turn != Turn::taken) {
        std::fprintf(stderr, "hold_log_turn: the turn of %s could not be taken\n", argv[1]);
        return 1;
    }
    std::printf("holding\n");
    std::fflush(stdout);
    while (GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES) Sleep(50);
    platform::append_turn::give_back(turn);
    return 0;
}
