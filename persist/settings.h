// The six settings and record files.
#pragma once

#include <cstdint>
#include <string>

// What the files keep, owned here and used by the game and the shell: the
// best score, which the game raises, and the six configured keys (16-bit
// signed virtual-key codes).
extern int32_t bestScore;
constexpr int16_t KEY_UNASSIGNED = -10;
extern int16_t keyUp, keyDown, keyRestart, keyExit, keyLeft, keyRight;

enum : int32_t { LANG_FRENCH = 0, LANG_ENGLISH = 1 };
extern int32_t language;

struct CareerRecord {
    int32_t career1, career2, career3, career4, career5, career6;
};
extern CareerRecord career;

void loadSettings();
void saveSettings();
void saveCareer();

// The pieces the files are read and written with.
// Where the file called name lives: in the data folder.
std::string pathBesideProgram(const char* name);
// The value of a text of decimal digits; 0 for an empty text, for any other
// character, and for a value beyond the 32-bit range.
int32_t parseDecimal(const char* text);
// "0" .. "39" for 0..39, "" otherwise.
const char* digitText(int32_t n);
// Appends the count lowest decimal digits of n, most significant first.
void writeDigits(std::string& text, int32_t n, int32_t count);
