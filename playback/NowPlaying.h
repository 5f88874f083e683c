// After a file starts: its track record, display texts, album art, bit rate and frequency.
#pragma once

class TrackInfo;

// Runs under the state lock, right after StartPlaying. Throws what the TrackInfo construction
// throws; the track record, texts and art are then cleared, never left dangling.
void UpdateNowPlaying(const char* path);
// The same for a record read beforehand, without the lock; takes it over.
void UpdateNowPlaying(TrackInfo* track);

// Drops the current track record and everything that points into it.
void ClearNowPlaying();

// Shows the current track's picture, or the default art when it has none. Also for the skin, which
// may come after the first file started.
void ShowTrackArt();

// The average bit rate in kilobits per second of a file of sizeBytes playing lengthMs (not 0).
int BitRateKbps(unsigned sizeBytes, unsigned lengthMs);
