// Helpers shared by the tests: build folders, waiting on conditions, GDI object counts.
#pragma once

#include <windows.h>
#include <functional>
#include <string>

// Windows path of a file that the build generated into its media folder.
std::string MediaPath(const char* name);
// Windows path of the portable program folder (Lumetra.exe, About.mtx, DefaultTheme\).
std::string DistFolder();
// Folder of the running test executable, with a trailing backslash.
std::string TestBinFolder();
// Windows path of the file that captures this process's audio output ("" when not captured).
std::string CapturePath();
// A fresh, empty folder under %TEMP% for one test; removed with its content by RemoveTree.
std::string MakeTempFolder(const char* tag);
void RemoveTree(const std::string& folder);
bool WriteFileBytes(const std::string& path, const void* data, size_t size);

// Pumps this thread's messages while waiting; true when the condition held before the timeout.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs);
// Pumps this thread's messages for the given time (to let posted work run, not to synchronise).
void PumpMessagesFor(int ms);

DWORD GdiObjectCount();
