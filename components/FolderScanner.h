// The folder scanner: finds supported music files under a path and keeps them as the playlist.
#pragma once

class ScannerList;

// Threads: intake workers call CleanMemory and Scan while the window thread and the playlist
// build worker call GetNoOfFiles and GetFileName. The scanner guards its own list, so Scan may
// run without the player's state lock: GetNoOfFiles only ever counts entries that are completely
// stored, and an index keeps naming the same text while files are appended. CleanMemory sets the
// count to 0 before it frees any name. A name from GetFileName stays valid until the next
// CleanMemory; the player therefore uses names, and calls CleanMemory, only under its state lock
// (app/PlayerState.h), so no name is freed while someone reads it.
class FolderScanner {
public:
    // Throws an 8-bit message string when the scanner cannot be set up.
    FolderScanner();
    ~FolderScanner();
    FolderScanner(const FolderScanner&) = delete;
    FolderScanner& operator=(const FolderScanner&) = delete;

    // Lists files with this extension (no dot, any letter case) from now on.
    bool AddFilter(const char* extension);
    // Appends the file the path names, or every supported file under the folder it names:
    // a folder's own files in Explorer's name order, then each subfolder the same way. A file or
    // folder whose name the ANSI code page cannot say is listed by its short (8.3) name, matched by
    // its long name's extension, and left out where the volume has no short names.
    // True when something was appended.
    bool Scan(const char* path);
    int GetNoOfFiles();
    // The index-th file, or null for an index outside the list.
    const char* GetFileName(int index);
    // Empties the list; the filters stay.
    void CleanMemory();

private:
    ScannerList* list;
};

// Whether a scan descends into a folder with these attributes and (for a reparse point) this
// reparse tag: not into symbolic links or junctions, which can lead back up the tree.
bool IsFollowedFolder(unsigned long attributes, unsigned long reparseTag);
