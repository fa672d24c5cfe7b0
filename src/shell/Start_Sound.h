#pragma once
#include <functional>
#include <string>

#include <QByteArray>

// The start sound: a short pop embedded in the program (a PCM WAV resource),
// played asynchronously when a heat starts. Every failure is ignored; there
// may be no sound card at all.
namespace Start_Sound {

// The embedded WAV file.
QByteArray Wav();

// Plays the embedded sound through the installed player and returns at once.
void Play();

// Replaces the player (tests count the plays); an empty function restores the
// GStreamer player.
void Set_Player(std::function<void(const QByteArray&)> player);

// The GStreamer player: WAV bytes from memory into the given audio sink
// element ("autoaudiosink" for the program). False when the pipeline could not
// be built or refused to start; nothing waits for the sound to end.
bool Play_Gst(const QByteArray& wav, const std::string& sink = "autoaudiosink");

// Stops and releases a sound still playing (at shutdown).
void Release();

}  // namespace Start_Sound
