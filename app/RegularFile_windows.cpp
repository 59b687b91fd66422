// SPDX-License-Identifier: GPL-3.0-or-later

#include "RegularFile.h"

#include <QFile>
#include <QFileInfo>

// Windows has no FIFOs that a path in a folder could name, and opening a
// file there never waits for a writer: a look before the open is enough.
RegularFileRead readRegularFile(const QString& path, qsizetype maxBytes)
{
    using Outcome = RegularFileRead::Outcome;
    const QFileInfo info(path);
    if (!info.exists())
        return {Outcome::Missing, {}, {}};
    if (!info.isFile())
        return {Outcome::NotRegularFile, {}, {}};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {Outcome::Failed, {}, file.errorString()};
    // One byte past the bound tells a file that is too large.
    const QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return {Outcome::Failed, {}, file.errorString()};
    if (bytes.size() > maxBytes)
        return {Outcome::TooLarge, {}, {}};
    return {Outcome::Read, bytes, {}};
}
