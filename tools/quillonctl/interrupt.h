// Ctrl+C for quillonctl. The first SIGINT (or SIGTERM) only raises a flag that
// the waits poll, so a command can stop what it started on the server; a second
// one ends the process at once with status 130.
#pragma once

void installInterruptHandler();
// True once Ctrl+C was pressed. Safe from any thread.
bool interruptRequested();
