// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>

class TIniFile;

// A frequency the operator keeps under a name, with its output mode.
struct Memory
{
    QString name;
    quint32 hertz = 0; // what the nine digits hold
    bool div4 = false; // the "VFO" button (component SDR)

    friend bool operator==(const Memory&, const Memory&) = default;
};

// The memories in the order of the window's menu; Alt+1 ... Alt+9 recall the
// first nine.
using Memories = QList<Memory>;

// [MEMORIES] of the settings file: the keys 1, 2, 3 ... in order, each
// "frequency,div4,name", the frequency in nine digits as [PORT] keeps it and
// div4 as 1 or 0 ("1=014070000,1,FT8 20 m"). Reading stops at the first key
// that is missing or empty; a value that does not read (a frequency that is
// not nine digits, a mode that is not 1 or 0, no name) is left out. Earlier versions of the
// program do not read the section and keep it when they write.
Memories readMemories(const TIniFile& file);

// Writes each memory at its key, then an empty value at the next key when
// that key is there, so that memories forgotten since are not read again.
// Raises EIniFileException as TIniFile's writes do.
void writeMemories(TIniFile& file, const Memories& memories);
