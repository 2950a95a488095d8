#pragma once

#include "audio/Player.h"

#include <QDateTime>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTimer;

// Plays the current recording of the log window: "Afspelen" and "Pauze", a position slider,
// the position as the clock time it was recorded at, and "Ga naar tijd" to jump to a typed
// clock time. Playback stops when the window hides. Lives on the user-interface thread.
class TPlaybackBar : public QWidget {
    Q_OBJECT
public:
    explicit TPlaybackBar(QWidget* Parent = nullptr);

    // The recording at Path, started at StartedAt, becomes the one to play; another one that
    // plays stops.
    void SetRecording(const QString& Path, const QDateTime& StartedAt);
    void btnPlayClick();
    void edtGoToReturn();

protected:
    void hideEvent(QHideEvent* Event) override;

private:
    // Opens the recording unless it is open; false after telling the operator why not.
    bool OpenRecording();
    void ShowPosition();

    TPlayer FPlayer;
    QString FPath;
    QDateTime FStartedAt;
    QPushButton* btnPlay;
    QSlider* sldPosition;
    QLabel* lblPosition;
    QLabel* lblGoTo;
    QLineEdit* edtGoTo;
    QTimer* tmrPosition;
};
