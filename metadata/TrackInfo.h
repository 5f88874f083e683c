// One file's metadata record: its ID3 tag, six display texts and an album-art thumbnail.
#pragma once

#include <windows.h>
#include <gdiplus.h>

class ID3_Tag;

class TrackInfo {
public:
    ID3_Tag* tag;
    char* path;
    wchar_t title[256];
    wchar_t artist[256];
    wchar_t album[256];
    wchar_t year[8];
    wchar_t copyright[64];
    wchar_t publisher[64];
    // 100 x 100, from the tags or else from the folder's picture (FolderArt.h); null when neither
    // has one (or only too big a one). The record owns it.
    Gdiplus::Image* artThumbnail;
    bool hasArt;

    // Reads the tag of the file at path (8-bit, ANSI code page: UTF-8 where the manifest's is
    // honoured). A missing or untagged file gives "[N/A]" texts; throws "Unreadable file" when the
    // tag object cannot be created, or memory runs out while it is read.
    explicit TrackInfo(const char* path);
    ~TrackInfo();
    TrackInfo(const TrackInfo&) = delete;
    TrackInfo& operator=(const TrackInfo&) = delete;

    // The title, or the file's name when the tag has none ("[N/A]" in any case). Composed with the
    // record, on the thread that reads it: the file's long name may need the disk, and the
    // now-playing update asks for the title under the state lock.
    const wchar_t* GetDisplayTitle() const { return displayTitle; }

private:
    wchar_t displayTitle[256];

    void ComposeDisplayTitle();
    void ReadTextFrame(int frameId, wchar_t* slot, int capacity);
    bool ReadAlbumArt();
    // Fills the slots still "[N/A]", and the art when there is none, from ID3v2.4 tags and
    // Vorbis comments (OtherTags.cpp).
    void ReadOtherTags();
};
