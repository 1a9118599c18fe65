// A run stopped by SIGINT, SIGTERM or SIGHUP takes its new output file
// away, so that the old output stays as it was and nothing is left behind.
#pragma once

// Handles the three signals from now on; the handler removes the file named
// last by guard_file, then ends the process as the signal would have.
void handle_interrupts();

// Blocks the signals while the output is being opened, so that the new
// file is guarded from the moment it exists.
void hold_interrupts();
void release_interrupts();

// The file to remove on a signal; nullptr or "" for none. The name is
// copied; one longer than a path can be is not guarded.
void guard_file(const char* path);
