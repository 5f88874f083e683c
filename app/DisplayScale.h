// The display scale: the process's DPI awareness and the dots per inch of the system and a window.
#pragma once

#include <windows.h>

// Asks to be told of each monitor's scale (per-monitor v2, else v1, else system-wide awareness).
// The manifest asks for the same where the system reads it, and then these calls are refused:
// either way the process ends up as aware as the system allows.
void DeclareDpiAwareness();
// The scale the system gives new windows (96 at 100 %).
int SystemDpi();
// The scale of the monitor a window is on; the system's where the system knows no other.
int DpiOfWindow(HWND window);
// The skin sets rendered for the scales: percentages of 96 DPI.
const int kSkinSetPercents[] = {100, 125, 150, 175, 200, 250, 300};
// The set to load at dpi: the nearest at or above it (drawn down when between sets), the largest
// above the largest.
int SkinSetPercent(int dpi);
// A system metric (an icon's size) at dpi.
int SystemMetricAt(int index, int dpi);
