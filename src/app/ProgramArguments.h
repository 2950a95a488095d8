#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// What the command line asks of the program.
struct TProgramArguments {
    bool Help = false;
    bool Version = false;
    bool Headless = false;
    // The folder of --data-dir MAP or --data-dir=MAP, as given.
    std::optional<QString> DataDir;
    // The day of --coverage DAY or --coverage=DAY, as given: the program then prints that
    // day's ledger (as JSON with --json) instead of recording. Whether it is a date is for the
    // ledger to say.
    std::optional<QString> CoverageDay;
    bool Json = false;
    // What is wrong with the command line, in Dutch; empty when nothing is. The program then
    // does nothing but say so.
    QString Error;
};

// Reads the arguments after the program's name. Every argument must be one of ours: an
// unknown option or a stray word is refused rather than ignored, and so is a --data-dir
// whose folder is missing, begins with '-' (it is then the next option), holds a control
// character (it would break the settings file) or is not text in the system's encoding;
// --coverage needs its day, --json belongs to --coverage, and the ledger is not made while
// recording without a window.
TProgramArguments ParseArguments(const QList<QByteArray>& Arguments);
