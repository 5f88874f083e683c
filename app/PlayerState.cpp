// The one instance of the process-wide player state, with its initial values.
#include "app/PlayerState.h"

StateMutex stateLock;
int startsInFlight = 0;
int scansInFlight = 0;
unsigned startSerial = 0;
int startIndex = -1;
HWND startWindow = nullptr;
bool startOnlyIfNothingLoaded = false;
bool startHeld = false;
uint32_t startHeldAtMs = 0;
bool startWorkerBusy = false;
unsigned startAnswered = 0;
bool startAnsweredPlays = false;

ImageButton* playButton = nullptr;
ImageButton* pauseButton = nullptr;
ImageButton* playPauseButton = nullptr;
ImageButton* nextButton = nullptr;
ImageButton* prevButton = nullptr;
ImageButton* randomOnButton = nullptr;
ImageButton* randomOffButton = nullptr;
ImageButton* randomButton = nullptr;
ImageButton* showPlaylistButton = nullptr;
ImageButton* seekBar = nullptr;
ImageObject* seekProgress = nullptr;
ImageObject* defaultAlbumArt = nullptr;
ImageObject* trackAlbumArt = nullptr;
ImageObject* albumArt = nullptr;
ImageObject* aboutImage = nullptr;

PlaybackEngine* engine = nullptr;
FolderScanner* scanner = nullptr;
HDC windowDC = nullptr;

unsigned listGeneration = 0;
int volumeBeforeMute = 100;
DWORD volumeShownUntil = 0;

std::atomic<bool> idle{true};
std::atomic<bool> randomPlay{false};
std::atomic<bool> scanning{false};
std::atomic<bool> intakeActive{false};
std::atomic<bool> playlistVisible{false};

int currentIndex = 0;
TrackInfo* currentTrack = nullptr;
const wchar_t* titleText = nullptr;
const wchar_t* artistText = nullptr;
const wchar_t* albumText = nullptr;
const wchar_t* yearText = nullptr;
const wchar_t* publisherText = nullptr;
const wchar_t* copyrightText = nullptr;
wchar_t lengthText[16] = L"";
wchar_t bitRateText[16] = L"";
wchar_t frequencyText[16] = L"";

char* commandText = nullptr;
CommandArgs commandArgs = {};
DropArgs dropArgs = {};

RECT listRect = {0, 0, 350, 200};
int rowHeight = kRowHeight;
int visibleListHeight = kVisibleListHeight;
std::atomic<int> windowDpi{96};
int rowWidth = 200;
PlaylistRow* rows[kRowSlots] = {};
int rowCount = 0;
HFONT rowFont = nullptr;
int scrollTarget = 0;
int scrollPos = 0;
bool scrollTimerActive = false;
std::atomic<bool> playlistBuilt{false};
std::atomic<bool> playlistBuilding{false};
bool hoverStale = false;
int hoverRow = -1;
bool mouseInList = false;
bool lastMouseDown = false;

int tick = 0;
int shownProgressWidth = -1;
