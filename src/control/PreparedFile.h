#pragma once

#include <QString>

class TLogData;

// The next hour's file is made some seconds before the hour, before the log names it. A note in
// the data folder names it until the recording goes on into it or the cut is taken back, so that
// a run that ends in between (killed, a power loss) does not leave an empty file nobody knows
// of: the next start-up removes it when it still holds no audio and no row names it.
class TPreparedFile {
public:
    static constexpr const char* NoteName = "Vantor2026.next";

    explicit TPreparedFile(const QString& DataFolder);

    // Notes Path as made ahead; a note that cannot be written is only a lost chance to tidy up.
    void Note(const QString& Path);
    // The file noted is in the log or gone: forgets it.
    void Forget();
    // At start-up, before anything is recorded: removes the file the note names when the log
    // does not name it and it holds no audio, and forgets it. Returns whether it removed one.
    bool RemoveLeftBehind(TLogData& Data);

private:
    QString FNotePath;
};
