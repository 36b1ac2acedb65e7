// What this run has put on disk, for the stages that rely on it: the
// database stage runs only scripts this run wrote or brought.
#pragma once

// Notes a path the copy could not bring (a file, or a folder and all below it).
void note_copy_failure(const char* destination);

// True when a failure was noted for the folder, inside it, or for a folder
// that holds it. Also true when more failures were noted than are kept.
bool copy_failed_at(const char* folder);

// Notes a file the copy brought. Only the distribution's install scripts
// (INSTALL_SCRIPTS, by name) are kept: the ones SQL*Plus will run.
void note_file_copied(const char* destination);

// True when the copy of this run brought the install script at the path.
bool file_copied(const char* path);

// Notes a generated script this run wrote completely.
void note_script_written(const char* path);

// True when this run wrote the script at the path.
bool script_written(const char* path);
