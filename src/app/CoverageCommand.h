#pragma once

struct TProgramArguments;

// --coverage: prints the ledger of the asked day from the database of the data folder to
// standard output, as a Dutch table or (--json) as JSON, and returns 0. A day that is not a
// date, a missing data folder, settings file or database, or one the engine cannot read: a
// Dutch message on standard error and 1. Needs no display, takes no claim on the folder, makes
// no file and records nothing; the recorder may run meanwhile (a lock it holds is waited for a
// few seconds).
int RunCoverage(int& Argc, char** Argv, const TProgramArguments& Arguments);
