// The copy's 50-cell progress bar on a fixed console row.
#pragma once

// Draws "[" + 50 cells (green "#" for each whole 2 %, red "-" for the rest)
// + "] <percent>%" at column 0 of the row, leaving the cursor after it.
// A row below 0 means standard output is no console: nothing is drawn.
// A draw that would put on the row exactly what it already shows only puts
// the cursor back where that draw would leave it.
void show_progress_bar(int percent, long row);
