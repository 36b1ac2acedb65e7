// The order of the log's appends: within a run, against the closing entry
// of a run ended by Ctrl+C or Ctrl+Break; and between runs that append to
// the same log file.
//
// Windows puts each write on a handle with append access alone at the end
// of the file in one step. Wine finds the end and then writes there, so two
// runs writing at once could put both entries at the same end and one would
// overwrite the other. Runs that append to the same file (named by its
// volume and its index there, however their paths reach it) therefore take
// turns, but only while more than one of them is up: a run alone appends at
// once, without asking the system for anything. Runs appending to other
// files never wait for each other.
#pragma once

namespace platform {

// Every append to a file holds the gate while it writes. The break handler
// takes it and never gives it back: an append under way ends first, and no
// entry follows the closing one. The thread that holds it may enter again.
void enter_append_gate();
void leave_append_gate();

namespace append_turn {

// How long a run waits for its turn before it stops taking turns.
constexpr unsigned long TIME_OUT_MS = 5000;

enum class Turn {
    alone,     // no other run appends to the file now: append at once
    taken,     // this run holds the turn: append, then give_back
    none,      // no turns to be had (given up earlier, or no shared objects)
    given_up,  // waited the whole time-out just now: from here on no turns
};

// Takes the turn for an append to the file. With even_alone the turn is
// taken also when no other run appends to the file.
Turn take(const char* path, bool even_alone = false);

// Ends the turn that take gave (only taken holds one).
void give_back(Turn turn);

}  // namespace append_turn
}  // namespace platform
