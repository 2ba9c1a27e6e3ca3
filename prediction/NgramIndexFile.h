// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "NgramTables.h"

#include <QString>

#include <memory>

// The index as a file that a program maps read-only and queries where it lies, without reading
// it into memory: a header (a magic, the format's version, the tables' sizes, a checksum of the
// rest), then each table, eight-byte aligned, in the byte order of the machine that built it
// (the build's own).
namespace NgramIndexFile {

// Writes tables to path; an empty string when that worked, else why not.
QString write(const Ngram::Tables &tables, const QString &path);

struct Mapped
{
    // Holds the mapping: the tables point into it.
    std::shared_ptr<const void> mapping;
    Ngram::Tables tables;
    // Why the file cannot be used, in a few words; empty when it can.
    QString error;
};

// Checks the file (its header, its size and its checksum) and maps it. A missing, cut or foreign
// file, or one damaged anywhere, comes back unmapped with the reason.
Mapped map(const QString &path);

} // namespace NgramIndexFile
