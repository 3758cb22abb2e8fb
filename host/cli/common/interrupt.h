#pragma once
// Ctrl-C and SIGTERM as a flag: renders stop between chunks so that their temporary files can be
// removed, and the player gives the terminal back.

// From now on the signals set the flag instead of ending the process.
void CatchInterrupts();
// Whether a signal came; long loops poll it and stop cleanly.
bool InterruptRequested();
