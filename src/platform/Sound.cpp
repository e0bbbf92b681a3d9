#include "platform/Sound.h"

#include "platform/SafeFile.h"

#include <QFile>

#include <canberra.h>

namespace vl {

namespace {
// The one id all our sounds share, so that each play cancels the last.
constexpr uint32_t SoundId = 1;
} // namespace

SoundPlayer::~SoundPlayer()
{
    if (context_)
        ca_context_destroy(context_);
}

void SoundPlayer::play(const QString &file)
{
    // Canberra opens the file by name before it hands the sound to its thread, so a FIFO or a
    // device would hold up the window: only a regular file is played.
    if (file.isEmpty() || unavailable_ || !isRegularFile(file))
        return;
    if (!context_) {
        // Opening the context looks for an output driver; made on the first
        // sound so that a run without sounds never touches the audio system.
        if (ca_context_create(&context_) != CA_SUCCESS) {
            context_ = nullptr;
            unavailable_ = true;
            return;
        }
        ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "Vorlane", nullptr);
    }
    ca_context_cancel(context_, SoundId);
    // Canberra plays on its own thread; a failure (missing file, no device)
    // is returned here at once and deliberately ignored. The user's file may
    // change between plays, so a sound server must not keep it.
    const int result = ca_context_play(context_, SoundId, CA_PROP_MEDIA_FILENAME, QFile::encodeName(file).constData(),
                                       CA_PROP_CANBERRA_CACHE_CONTROL, "never", nullptr);
    if (result == CA_ERROR_NODRIVER)
        unavailable_ = true;
}

} // namespace vl
