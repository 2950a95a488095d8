#pragma once

#include <QString>

// The windowless mode: the same start-up, controller, recorder and clock as the window, on
// a QCoreApplication. Status lines go to standard output, warnings and error reports to
// standard error, each with a timestamp. SIGTERM, SIGINT and SIGHUP stop a running
// recording (its duration logged, its file completed) and end the run with status 0.
// Under systemd it speaks the notify protocol (ready, status, watchdog, stopping). Notice, when
// set, is told first. Config must exist. Returns the exit status.
int RunHeadless(int& Argc, char** Argv, const QString& Notice);
