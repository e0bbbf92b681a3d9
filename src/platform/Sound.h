#pragma once

#include <QString>

struct ca_context;

namespace vl {

// Plays sound files through libcanberra without waiting for them. A new
// sound cuts the one still playing short. Without a sound system nothing is
// heard and nothing is reported.
class SoundPlayer {
public:
    SoundPlayer() = default;
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer &) = delete;
    SoundPlayer &operator=(const SoundPlayer &) = delete;

    void play(const QString &file);

private:
    ca_context *context_ = nullptr;
    bool unavailable_ = false; // no context could be made: never try again
};

} // namespace vl
