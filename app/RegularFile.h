// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

// What reading a file whole gave.
struct RegularFileRead
{
    enum class Outcome {
        Read,           // `bytes` holds the whole file
        Missing,        // nothing at the path, or a folder on the way is not one
        NotRegularFile, // a folder, a FIFO, a device, a socket
        TooLarge,       // more than the bound given
        Failed,         // the system refused: `reason` says why, in its words
    };
    Outcome outcome = Outcome::Missing;
    QByteArray bytes;
    QString reason;
};

// Reads a regular file (or the regular file a link leads to) whole, if it has
// at most `maxBytes` bytes. Never blocks: whatever stands at the path, also
// when it is swapped between the look and the open, is opened without waiting
// and read only once it is known to be a regular file. Each system's
// RegularFile_<system>.cpp defines it.
RegularFileRead readRegularFile(const QString& path, qsizetype maxBytes);
