#pragma once
// Ids of the pictures held in the program's resources (kwpshot.rc).
#define KWPSHOT_ICON 1
#define KWPSHOT_GLYPH_SAVE 101
#define KWPSHOT_GLYPH_EXIT 102
#define KWPSHOT_GLYPH_CAPTURE 103
#define KWPSHOT_BANNER 201
