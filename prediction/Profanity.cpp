// SPDX-License-Identifier: GPL-3.0-or-later
#include "Profanity.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

using namespace std::string_view_literals;

// Each offensive word, then the endings with which it stays offensive: "bitch es y ing" is also
// bitches, bitchy and bitching. Only these whole words match, as the letters of many begin
// ordinary words: "fag" of "Fagin", "nigg" of "niggardly", "retard" of "retardant", "cock" of
// "cockpit", "ass" of "assistant", "dumb" of "dumbbell".
constexpr std::array Words { "arse"sv, "ass es"sv, "asshole s"sv, "balls"sv, "bastard s 's"sv,
    "bitch es 's y ing in ed iness"sv, "bollock s"sv, "boner s"sv, "boob s"sv,
    "bullshit s ter ters ting ted"sv, "butt"sv, "cock s"sv, "cocksucker s 's"sv, "crap py"sv,
    "cretin s"sv, "cunt s"sv, "damn ed"sv, "dick s"sv, "dickhead s"sv, "douche s"sv,
    "dumb er est"sv, "dumbass es"sv, "dyke s"sv, "fag s got gots"sv, "freak s ing"sv,
    "fuck s 's ed er ers er's in ing head heads wit wits"sv, "goddam n ned mit"sv, "hump ing"sv,
    "idiot s ic"sv, "imbecile s"sv, "jackass es"sv, "jerk s"sv, "loser s"sv, "moron s ic"sv,
    "motherfuck er ers er's ing in"sv, "nigga s"sv, "nigger s 's"sv, "piss ed es ing"sv, "porn"sv,
    "prick s"sv, "pussy"sv, "queef"sv, "retard s ed"sv, "scum"sv, "sexy"sv,
    "shit s 's ty ting ted head heads hole holes load storm less"sv, "slut s ty"sv, "spastic"sv,
    "stupid est"sv, "suck s er"sv, "tits"sv, "turd s"sv, "twat s"sv, "wank s ed er ers ing"sv,
    "weirdo s"sv, "whore s 's d house houses"sv, "whoring"sv };

// Whether word is entry's word with one of its endings, or none.
bool isForm(std::string_view word, std::string_view entry)
{
    const size_t stemEnd = std::min(entry.find(' '), entry.size());
    if (!word.starts_with(entry.substr(0, stemEnd)))
        return false;
    const std::string_view ending = word.substr(stemEnd);
    if (ending.empty())
        return true;
    for (size_t start = stemEnd + 1; start < entry.size();) {
        const size_t end = std::min(entry.find(' ', start), entry.size());
        if (entry.substr(start, end - start) == ending)
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

namespace Profanity {

bool isOffensive(const QByteArray &word)
{
    const std::string_view w(word.constData(), size_t(word.size()));
    return std::any_of(
        Words.begin(), Words.end(), [w](std::string_view entry) { return isForm(w, entry); });
}

} // namespace Profanity
