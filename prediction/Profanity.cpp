// SPDX-License-Identifier: GPL-3.0-or-later
#include "Profanity.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

using namespace std::string_view_literals;

// Stems whose every word is offensive ("fucking", "bitches").
constexpr std::array Stems { "asshole"sv, "bastard"sv, "bitch"sv, "bollock"sv, "bullshit"sv,
    "cocksuck"sv, "cunt"sv, "dickhead"sv, "dumbass"sv, "fag"sv, "fuck"sv, "goddam"sv, "jackass"sv,
    "motherf"sv, "nigg"sv, "retard"sv, "shit"sv, "slut"sv, "twat"sv, "wank"sv, "whore"sv };

// Words offensive as they stand, whose letters also begin ordinary words ("cock" of
// "cockpit", "ass" of "assistant", "dumb" of "dumbbell").
constexpr std::array Words { "arse"sv, "ass"sv, "asses"sv, "balls"sv, "boner"sv, "boob"sv,
    "boobs"sv, "butt"sv, "cock"sv, "cocks"sv, "crap"sv, "crappy"sv, "cretin"sv, "damn"sv,
    "damned"sv, "dick"sv, "dicks"sv, "douche"sv, "dumb"sv, "dumber"sv, "dumbest"sv, "dyke"sv,
    "freak"sv, "freaks"sv, "freaking"sv, "hump"sv, "humping"sv, "idiot"sv, "idiotic"sv, "idiots"sv,
    "imbecile"sv, "jerk"sv, "jerks"sv, "loser"sv, "losers"sv, "moron"sv, "morons"sv, "nigger"sv,
    "piss"sv, "pissed"sv, "porn"sv, "prick"sv, "pricks"sv, "pussy"sv, "queef"sv, "scum"sv, "sexy"sv,
    "spastic"sv, "stupid"sv, "stupidest"sv, "sucker"sv, "suck"sv, "sucks"sv, "tits"sv, "turd"sv,
    "weirdo"sv };

} // namespace

namespace Profanity {

bool isOffensive(const QByteArray &word)
{
    const std::string_view w(word.constData(), size_t(word.size()));
    return std::find(Words.begin(), Words.end(), w) != Words.end()
        || std::any_of(
            Stems.begin(), Stems.end(), [w](std::string_view stem) { return w.starts_with(stem); });
}

} // namespace Profanity
