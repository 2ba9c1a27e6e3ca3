// SPDX-License-Identifier: GPL-3.0-or-later
// Run by the build: indexes pocketsphinx's model of English into the file the program maps.
//
//   vocalo_english_index <sphinxbase trigram model> <index file to write>
#include "NgramIndexBuilder.h"
#include "NgramIndexFile.h"
#include "Profanity.h"
#include "SphinxModel.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <sphinxbase trigram model> <index file>\n", argv[0]);
        return 2;
    }
    const QString modelPath = QString::fromLocal8Bit(argv[1]);
    const SphinxModel model(modelPath);
    if (!model.error().isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(model.error()));
        return 1;
    }
    const NgramIndexBuilder::Built built = NgramIndexBuilder::build(model, &Profanity::isOffensive);
    if (built.followers.empty()) {
        std::fprintf(stderr, "%s: no word of it can be offered\n", argv[1]);
        return 1;
    }
    const QString error = NgramIndexFile::write(built.tables(), QString::fromLocal8Bit(argv[2]));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", argv[2], qPrintable(error));
        return 1;
    }
    std::printf("%s: %zu words, %zu followers, %zu pairs\n", argv[2], built.offsets.size() - 1,
        built.followers.size(), built.pairs.size());
    return 0;
}
