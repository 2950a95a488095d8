#pragma once

#include <QString>
#include <optional>

// The folder that holds the settings file, the default database and the default recordings
// folder, and what the operator must be told about the choice.
struct TDataFolder {
    // With exactly one trailing '/'.
    QString Path;
    // Said once, when the program first uses a folder it chose itself; empty otherwise.
    QString Notice;
};

// The folder of the program's files: Given (the --data-dir argument) when there is one;
// otherwise the executable's folder, unless that is not writable (an installed program), when
// it is "Vantor2026" in the user's data folder ($XDG_DATA_HOME, normally ~/.local/share).
// A folder that does not exist is created; when that fails the settings file will say so.
TDataFolder ChooseDataFolder(const std::optional<QString>& Given);
