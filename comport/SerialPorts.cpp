// SPDX-License-Identifier: GPL-3.0-or-later

#include "SerialPorts.h"

#include "ComDiagnostics.h"
#include "ComErrors.h"
#include "platform/PortList.h"

#include <QCollator>
#include <QFile>
#include <algorithm>

void sortPortNames(QStringList& names)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    std::stable_sort(names.begin(), names.end(), [&collator](const QString& a, const QString& b) {
        return collator.compare(a, b) < 0;
    });
}

void ListSerialPorts(QStringList& target, const QString& root)
{
    std::vector<std::string> found;
    const serial::Result listed =
        serial::listPortNames(QFile::encodeName(root).toStdString(), found);
    if (!listed)
        throw EComPort(ComPortMessages::RegistryError, comport::failureDetail(listed.reason()));
    QStringList names;
    names.reserve(static_cast<qsizetype>(found.size()));
    for (const std::string& name : found)
        names.append(QFile::decodeName(QByteArray::fromStdString(name)));
    sortPortNames(names);
    target = names;
}
