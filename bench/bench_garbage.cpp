// SPDX-License-Identifier: GPL-3.0-or-later

// Mixed garbage: random bytes (NUL included) with "IF;" inserted at random
// places, the query sometimes split over several writes, sometimes glued to
// the end of the garbage, sometimes right after a NUL byte.
//
// The rule checked: the program answers once for each arrival that
// completes a query in the bytes received since its last reply. The client
// cannot choose how the program's reads cut the stream, so each round is
// built so that the rule gives exactly one reply whatever the cuts: the
// garbage of a round holds no "IF;" (nor does it form one with the query,
// which cannot happen: every query ends in its only ';'), and the next
// round starts only after the reply to this one has arrived, so nothing
// follows the query in the program's read. The reply must then be the only
// bytes that come back in the round, byte for byte.
//
// Usage: bench_garbage [--rounds N] [--max-garbage BYTES] [--seed S] [--program PATH]
//        (defaults 5000 rounds, up to 8192 bytes of garbage each, seed 1)

#include "BenchSupport.h"

using namespace bench;

namespace {

// How one round's query is written.
enum class QuerySplit { Whole, AfterI, AfterIF, ByteByByte, GluedToGarbage };
constexpr int splitKinds = 5;

std::vector<std::string> queryPieces(QuerySplit split)
{
    switch (split) {
    case QuerySplit::Whole:
    case QuerySplit::GluedToGarbage:
        return {"IF;"};
    case QuerySplit::AfterI:
        return {"I", "F;"};
    case QuerySplit::AfterIF:
        return {"IF", ";"};
    case QuerySplit::ByteByByte:
        return {"I", "F", ";"};
    }
    return {};
}

// The garbage as written: cut into pieces of random size.
std::vector<std::string> cutIntoPieces(const std::string& garbage, std::mt19937_64& random)
{
    std::vector<std::string> pieces;
    std::uniform_int_distribution<std::size_t> pieceSize(1, 1024);
    for (std::size_t at = 0; at < garbage.size();) {
        const std::size_t size = std::min(pieceSize(random), garbage.size() - at);
        pieces.push_back(garbage.substr(at, size));
        at += size;
    }
    return pieces;
}

} // namespace

int main(int argc, char** argv)
{
    const long rounds = longOption(argc, argv, "--rounds", 5000);
    const auto maxGarbage = std::size_t(longOption(argc, argv, "--max-garbage", 8192));
    const auto seed = unsigned(longOption(argc, argv, "--seed", 1));
    Results results("garbage");

    ConnectedProgram connected(argc, argv);
    auto& [pty, program, checker] = connected;

    NoiseSource noise(seed);
    std::mt19937_64& random = noise.random();
    std::uniform_int_distribution<std::size_t> garbageSize(0, maxGarbage);
    std::uniform_int_distribution<int> splitKind(0, splitKinds - 1);
    long afterNul = 0;
    long split = 0;
    std::size_t garbageBytes = 0;
    for (long round = 0; round < rounds; ++round) {
        noise.restart();
        std::string garbage = noise.block(garbageSize(random));
        if (random() % 4 == 0)
            garbage.push_back('\0');
        afterNul += !garbage.empty() && garbage.back() == '\0';
        garbageBytes += garbage.size();
        const auto kind = QuerySplit(splitKind(random));
        std::vector<std::string> pieces = cutIntoPieces(garbage, random);
        std::vector<std::string> query = queryPieces(kind);
        split += query.size() > 1;
        if (kind == QuerySplit::GluedToGarbage && !pieces.empty())
            pieces.back() += query.front();
        else
            pieces.insert(pieces.end(), query.begin(), query.end());

        checker.takeStrayBytes();
        const Clock::time_point sentAt = Clock::now();
        for (const std::string& piece : pieces)
            writeAll(pty, piece);
        checker.awaitReply(sentAt);
    }
    checker.finish();

    checkCounts(results, format("%ld rounds", rounds), connected.counts());
    results.figure("garbage sent", format("%.1f MB; %ld queries right after a NUL, %ld split",
                                          double(garbageBytes) / 1e6, afterNul, split));
    checkStop(results, program);
    return results.exitCode();
}
