// Splitting a command text into its verb and the files and folders it names.
#include "intake/CommandText.h"

#include <cstring>

CommandParts TokenizeCommandText(const char* text)
{
    CommandParts parts;
    if (!text || !*text) return parts;

    const char* p = text;
    // Each index is read only when the characters before it are not the terminating zero.
    bool pathLike = text[0] == '"' || text[0] == ' ' || text[1] == ':' || (text[1] && text[2] == '\\');
    if (!pathLike) {
        const char* space = strchr(text, ' ');
        if (space) {  // a single word with nothing behind it is an item, not a verb
            parts.hasVerb = true;
            parts.verb.assign(text, space);
            p = space;
        }
    }

    while (*p) {
        if (*p == '"') {
            const char* close = strchr(p + 1, '"');
            if (!close) {
                parts.items.emplace_back(p + 1);
                break;
            }
            parts.items.emplace_back(p + 1, close);
            p = close + 1;
        } else if (*p == ' ') {
            while (*p == ' ') ++p;
        } else {
            parts.items.emplace_back(p);
            break;
        }
    }
    return parts;
}

bool IsAppendVerb(const CommandParts& parts)
{
    return parts.hasVerb && _stricmp(parts.verb.c_str(), "add_to_list") == 0;
}
