// Splitting a command text into its verb and the files and folders it names.
#pragma once

#include <string>
#include <vector>

struct CommandParts {
    bool hasVerb = false;
    std::string verb;
    std::vector<std::string> items;
};

// Reads the command text grammar:  [verb ' '] { '"' path '"' | ' ' | rest-of-text }.
// A first word counts as a verb only when a space follows it and it does not start like a path
// (a quote, a space, "X:" or "..\"); a quote without its closing quote takes the rest of the text.
CommandParts TokenizeCommandText(const char* text);

// True for the verb that appends to the playlist instead of replacing it (any letter case).
bool IsAppendVerb(const CommandParts& parts);
