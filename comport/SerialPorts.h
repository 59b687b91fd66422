// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>

// Replaces `target` with the names of the serial ports present, sorted (see
// sortPortNames). On Linux a name is a tty under /dev ("ttyUSB0", "ttyS0");
// ttys without a device behind them and unused 8250 slots are left out.
// `root` is where the system lists its ports (on Linux the sysfs tty class
// directory); empty means the system's own. Raises EComPort with
// ComPortMessages::RegistryError when the list cannot be read; `target` is
// then untouched. Any thread.
void ListSerialPorts(QStringList& target, const QString& root = {});

// Sorts port names in ascending text order of the default locale, ignoring
// case (case is kept in the items). Digits count as text: "COM10" comes
// before "COM2". Names that compare equal keep their order; duplicates stay.
void sortPortNames(QStringList& names);
