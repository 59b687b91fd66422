// SPDX-License-Identifier: GPL-3.0-or-later

// A device that polls but never reads: the replies fill the line (the pty
// takes about 68 kB) until each further reply has to wait out the port's
// write time-out (4.8 s), and then the program is told to end (SIGTERM), as
// a shutdown of the machine would. It must end at once, replies that cannot
// be delivered dropped, with the settings saved.
//
// Usage: bench_stall [--queries N] [--program PATH]   (default 5000, 1 ms apart)

#include "BenchSupport.h"

using namespace bench;

int main(int argc, char** argv)
{
    const long queries = longOption(argc, argv, "--queries", 5000);
    Results results("stall");
    ConnectedProgram connected(argc, argv);
    auto& [pty, program, checker] = connected;

    // The program cannot be watched filling the line (the master reports at
    // most 4 kB unread), so the queries go out at a fixed pace instead: a
    // timing loop, 1 ms apart, slower than the program answers while it can.
    for (long i = 0; i < queries; ++i) {
        writeAll(pty, query);
        ::poll(nullptr, 0, 1);
    }
    // SIGTERM then reaches the program in the middle of a waiting write.
    ::poll(nullptr, 0, 1000);
    const Clock::time_point stopAt = Clock::now();
    checkStop(results, program);
    const double seconds = microsBetween(stopAt, Clock::now()) / 1e6;
    results.check(format("SIGTERM to exit, after %ld queries never read", queries),
                  format("%.2f s", seconds), "< 3 s", seconds < 3);
    const bool saved = program.savedSettings().starts_with("[PORT]\nfrequency=014070000\n");
    results.check("settings saved at the stop", saved ? "yes" : "no", "yes", saved);
    return results.exitCode();
}
