// The program's entry and its whole control flow.
#pragma once

#include <cstddef>

#include "input/confirm_continue.h"
#include "setup/check_distribution.h"
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

// Asks every question and derives the paths; directory answers the
// distribution of this size would not fit under are refused. False when the
// input ended before every answer was given.
bool collect_parameters(SetupParameters& parameters, const DistributionSize& size);

// The dialogue from the log header to the confirmation's answer: greets,
// checks that the setup folder holds the whole distribution and measures
// it, then ask_and_confirm. Anything but yes means the run is to be
// abandoned.
Confirmation run_dialogue(SetupParameters& parameters);

// The questions, the echo (printed and logged) and the confirmation, for a
// distribution of the given size in SOURCE_DIR.
Confirmation ask_and_confirm(SetupParameters& parameters, const DistributionSize& size);

// Runs the whole setup: dialogue, confirmation, stages, summary.
// Returns the exit status.
int run_setup();
