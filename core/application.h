#pragma once

// The server's life: start-up, the main loop, shutdown. Returns the exit code:
// 1 when the device SDK's hub cannot be obtained or initialised, else 0.
int runServer();
