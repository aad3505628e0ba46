// The subcommands that talk to the server. Each runs on a Session whose link
// is open and returns the process's exit status.
#pragma once

#include "tools/quillonctl/command_support.h"

int runPing(Session& session);
int runScan(Session& session);
int runConnect(Session& session);
int runDisconnect(Session& session);
int runVersion(Session& session);
int runConfig(Session& session);
int runExit(Session& session);

int runGestureStream(Session& session);
int runIdentify(Session& session);
int runRecord(Session& session);
int runGenerate(Session& session);
int runUpload(Session& session);

// stop-gesture-stream, stop-record, stop-generate, stop-upload, stop-identify.
int runStop(Session& session);

int runWatch(Session& session);
// The whole journey against the simulated armband; talks to its wearer too.
int runDemo(Session& session);
int runSend(Session& session);

// Over HTTP on the server's port, without the WebSocket link.
int runRecordings(const Invocation& invocation);
int runEvaluate(const Invocation& invocation);
int runExport(const Invocation& invocation);
int runDelete(const Invocation& invocation);
int runNames(const Invocation& invocation);

// Talks to the simulated armband's wearer control, not to the server.
int runSim(const Invocation& invocation);
