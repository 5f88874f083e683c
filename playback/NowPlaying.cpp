// After a file starts: its track record, display texts, album art, bit rate and frequency.
#include "playback/NowPlaying.h"

#include <id3/tag.h>

#include <climits>
#include <memory>

#include "app/PlayerState.h"
#include "components/ImageObject.h"
#include "components/PlaybackEngine.h"
#include "components/WideText.h"
#include "metadata/TrackInfo.h"

namespace {

void PointTextsInto(TrackInfo* track)
{
    albumText = track->album;
    artistText = track->artist;
    copyrightText = track->copyright;
    publisherText = track->publisher;
    titleText = track->GetDisplayTitle();
    yearText = track->year;
}

void FormatBitRate(PlaybackSound* sound)
{
    if (!currentTrack || !sound || sound->LengthMs() == 0) {
        wsprintfW(bitRateText, L"%s", kMissingText);
        return;
    }
    try {
        unsigned size = static_cast<unsigned>(currentTrack->tag->GetFileSize());
        wsprintfW(bitRateText, L"%uKB/s", BitRateKbps(size, sound->LengthMs()));
    } catch (...) {
        wsprintfW(bitRateText, L"%s", kMissingText);
    }
}

void FormatFrequency(PlaybackSound* sound)
{
    int rate = 0;
    StreamSource* source = sound ? sound->GetStreamSource() : nullptr;
    if (source) rate = source->GetStreamFormat().sampleRate;
    wsprintfW(frequencyText, L"%d Hz", rate);
}

}  // namespace

int BitRateKbps(unsigned sizeBytes, unsigned lengthMs)
{
    if (lengthMs == 0) return 0;
    // Bits per millisecond are kilobits per second; rounded half up. Both numbers come from the
    // file: a huge file that claims to last a moment would not fit an int, so it is held at the top.
    double rate = static_cast<double>(sizeBytes) * 8.0 / static_cast<double>(lengthMs) + 0.5;
    return rate >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(rate);
}

void ClearNowPlaying()
{
    // Everything that points into the record goes with it, in one step under the lock.
    StateLock lock(stateLock);
    if (trackAlbumArt) trackAlbumArt->ReleaseImage();
    albumArt = defaultAlbumArt;
    titleText = artistText = albumText = yearText = publisherText = copyrightText = nullptr;
    delete currentTrack;
    currentTrack = nullptr;
}

void ShowTrackArt()
{
    StateLock lock(stateLock);
    albumArt = defaultAlbumArt;
    if (currentTrack && currentTrack->hasArt && trackAlbumArt) {
        trackAlbumArt->SetImage(currentTrack->artThumbnail);
        albumArt = trackAlbumArt;
    }
}

void UpdateNowPlaying(const char* path)
{
    // The record reads the file and finds its long name: not under the lock.
    std::unique_ptr<TrackInfo> track(new TrackInfo(path));
    UpdateNowPlaying(track.release());
}

void UpdateNowPlaying(TrackInfo* track)
{
    StateLock lock(stateLock);
    ClearNowPlaying();
    currentTrack = track;
    PointTextsInto(currentTrack);

    ShowTrackArt();

    PlaybackSound* sound = engine ? engine->ActiveSound : nullptr;
    FormatBitRate(sound);
    FormatFrequency(sound);
}
