#pragma once

#include <QString>
#include <memory>

namespace soundlib {
class TPulsePlayback;
}

// Plays one recording through the sound server's default sink: play and pause, the position
// to read and to go to, the length. The end of the file stops it with the position at the end.
// Playback has a connection to the server of its own and leaves a running recording alone.
//
// Threads: every method on the owner's thread, the user interface's. Open, Play and Seek wait
// for the sound server within its answer time limit (2 s); Pause, Stop and the destructor
// never wait for it.
class TPlayer {
public:
    TPlayer();
    ~TPlayer();
    TPlayer(const TPlayer&) = delete;
    TPlayer& operator=(const TPlayer&) = delete;

    // Opens Path paused at its start, closing what was open first. False with Error() when
    // the file is missing, unreadable or no sound, or when there is no sound server.
    bool Open(const QString& Path);
    bool IsOpen() const { return FPlayback != nullptr; }
    // Why the last Open, Play or Seek failed, in Dutch for the operator.
    const QString& Error() const { return FError; }

    // Plays on from the position, from the start once the file played out. False with Error().
    bool Play();
    // Stops the sound at once; the position stays where the listener was.
    void Pause();
    bool IsPlaying() const;
    // Goes to Seconds (kept within the file) and plays on from there when playing. False with
    // Error().
    bool Seek(double Seconds);
    // What the listener hears now, as far as the server tells.
    double PositionSeconds() const;
    double LengthSeconds() const;
    // Closes the file and lets go of the sound server at once.
    void Stop();

private:
    // True for BASS_OK; otherwise sets Error() to what Error means for the open file.
    bool Succeeded(int Error);

    std::unique_ptr<soundlib::TPulsePlayback> FPlayback;
    QString FPath;
    QString FError;
};
