// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Room among the descriptors (files, sockets, pipes) that the system lets a
// process hold at once: on POSIX systems `ulimit -n`, usually 1024, as low as
// a user or a service sets it. Short of descriptors, Qt ends the process
// where it needs one (GLib traps when it cannot make an event loop's
// wake-up), and a stop could not save the settings. So the program starts
// only with room to run, and keeps a few descriptors from start-up to the
// stop, which gives them back for its save. Windows sets no such limit that
// the program could reach, and there the reserve holds nothing.
class OpenFileReserve
{
public:
    OpenFileReserve() = default;
    OpenFileReserve(const OpenFileReserve&) = delete;
    OpenFileReserve& operator=(const OpenFileReserve&) = delete;
    ~OpenFileReserve();

    // Takes the reserve once start-up has been found to have room. When too
    // few descriptors are free, throws std::runtime_error saying how many
    // are, the limit, and how many the program needs.
    void take();
    // Gives the reserve back: for the save of a stop.
    void release();

private:
    // What the save opens at once: one file (the one read back, then the
    // one written and renamed over it), and a pair for what a library opens
    // on the way (a sanitizer's runtime tests memory through a pipe).
    int m_reserve[3] = {-1, -1, -1};
};
