#include "app/PlaylistSave.h"
void SavePlaylistAs(HWND) {}
