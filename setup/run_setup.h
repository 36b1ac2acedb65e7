// The program's entry and its whole control flow.
#pragma once

#include <cstddef>

#include "input/confirm_continue.h"
#include "setup/setup_parameters.h"

// Exit statuses of the run.
constexpr int EXIT_COMPLETED = 0;
constexpr int EXIT_STAGE_FAILED = 1;
constexpr int EXIT_ABANDONED = -1;

// Prints the banner and introduction.
void display_intro();

// Stores the folder of the running executable (its path up to the last
// backslash). False when the path cannot be had or does not fit.
bool get_current_directory(char* field, std::size_t capacity);

// Asks every question, derives the paths and echoes them. False when the
// input ended before every answer was given.
bool collect_parameters(SetupParameters& parameters);

// The dialogue from the log header to the confirmation's answer: greets,
// asks, derives, echoes and logs the parameters. Anything but yes means the
// run is to be abandoned.
Confirmation run_dialogue(SetupParameters& parameters);

// Runs the whole setup: dialogue, confirmation, stages, summary.
// Returns the exit status.
int run_setup();
