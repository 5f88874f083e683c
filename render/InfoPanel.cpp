// The info panel: the track's texts as glow text on the glass.
#include "render/InfoPanel.h"

void DrawInfoPanel()
{
    // The glow-text panel is not built yet; until it is, the window shows no texts.
}
