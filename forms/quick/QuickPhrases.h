// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

// The phrase board's buttons. Several captions are shortened or starred versions of what the
// button says, so each row keeps both, exactly as they are shown and spoken.
struct QuickPhrase
{
    const char *name;
    int column; // 1..3; a column fixes the button's Left and Width
    int top;    // twips
    const char *caption;
    const char *spoken;
};

inline constexpr int QuickPhraseHeight = 255;

constexpr int quickPhraseLeft(int column)
{
    return column == 1 ? 120 : column == 2 ? 1320 : 2640;
}

constexpr int quickPhraseWidth(int column)
{
    return column == 3 ? 1695 : 1095;
}

// In the order of their names, which is also the board's tab order.
inline constexpr std::array<QuickPhrase, 36> QuickPhrases { {
    { "Command1", 1, 480, "Yes", "Yes" },
    { "Command2", 1, 720, "No", "No" },
    { "Command3", 2, 480, "Who?", "Who?" },
    { "Command4", 2, 720, "What?", "What?" },
    { "Command5", 2, 960, "When?", "When?" },
    { "Command6", 2, 1200, "Where?", "Where?" },
    { "Command7", 2, 1440, "Why?", "Why?" },
    { "Command8", 2, 1680, "How?", "How?" },
    { "Command9", 1, 960, "Okay", "Okay" },
    { "Command10", 1, 1200, "Sure", "Sure" },
    { "Command11", 1, 1440, "Fine", "Fine" },
    { "Command12", 1, 1680, "All right", "All right" },
    { "Command13", 3, 480, "What Time is it?", "What time is it?" },
    { "Command14", 3, 720, "What did you say?", "What did you say?" },
    { "Command15", 3, 960, "Please hold on.", "Please hold on." },
    { "Command16", 3, 1200, "Hold on, Doorbell.", "Hold on, the doorbell is ringing." },
    { "Command17", 3, 1440, "Nature calls!",
        "Hold on, I need to use the rest room. Dont hang up!" },
    { "Command18", 3, 1680, "Can you repeat that?", "Can you repeat that?" },
    { "Command19", 2, 2400, "Stupid ***!", "Stupid ass!" },
    { "Command20", 2, 2640, "**** You!", "Fuck you!" },
    { "Command21", 2, 2880, "Eat my ****!", "Eat my shit!" },
    { "Command22", 2, 3120, "Suck my ****!", "Suck my cock!" },
    { "Command23", 2, 3360, "You *****!", "You bitch!" },
    { "Command24", 2, 3600, "*****, Go die!", "Bitch, go die!" },
    { "Command25", 3, 2400, "Auuuoooiiueoiueoi", "aoiauoiaueoiioueaoiaeuoieauueaoieau" },
    { "Command26", 3, 3120, "Do you smell some...", "Do you smell somthing fishy?" },
    { "Command27", 3, 3360, "It puts the lotion on...",
        "It puts the lotion on its skin or else it gets the hose again" },
    { "Command28", 3, 3600, "Fido,  Stop humping...", "Fido, stop humping junior." },
    { "Command29", 3, 2640, "oiuoiauoiauaoouaou", "oiuoaeuoaeiiaoueoiueiuaoieuuaoueoia" },
    { "Command30", 3, 2880, "Har har har har har", "har har har har har" },
    { "Command31", 1, 2400, "Freak", "You are a Freak." },
    { "Command32", 1, 2640, "Loser", "You are a Loser" },
    { "Command33", 1, 2880, "Idiot", "You are an Idiot" },
    { "Command34", 1, 3120, "Stupid", "You are Stupid" },
    { "Command35", 1, 3360, "Dumb", "You are Dumb" },
    { "Command36", 1, 3600, "Queef", "You are a Queef" },
} };
