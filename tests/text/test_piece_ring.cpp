// The ring hands results on in the order of the pieces, whichever thread converted them and
// however long each took, and nothing after a refused piece or a stop is stored.
#include "text/piece_ring.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

TEST(PieceRing, KeepsOrderAndEndsWhereTold)
{
    struct Row {
        const char *name;
        bool twoThreads;
        int refuseAt, stopAt; // piece numbers; -1: never
        piece_ring::Outcome outcome;
        std::string stored;
    };
    const std::string all = "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,";
    const Row rows[] = {
        { "one thread", false, -1, -1, piece_ring::Outcome::Finished, all },
        { "two threads", true, -1, -1, piece_ring::Outcome::Finished, all },
        { "refused midway", true, 13, -1, piece_ring::Outcome::Refused, all.substr(0, all.find("13")) },
        { "stopped midway", true, -1, 5, piece_ring::Outcome::Stopped, "0,1,2,3,4,5," },
        { "refused first", false, 0, -1, piece_ring::Outcome::Refused, "" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        int loaded = 0;
        std::string stored;
        piece_ring::Stages stages;
        stages.load = [&](std::string &scratch) -> std::optional<std::string_view> {
            if (loaded == 20) return std::nullopt;
            scratch = std::to_string(loaded++);
            return scratch;
        };
        stages.convert = [&](std::string_view piece, std::string &out) {
            // Every third piece takes longer, so the other thread overtakes it.
            if (std::stoi(std::string(piece)) % 3 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(3));
            out = std::string(piece) + ",";
            return std::stoi(out) != row.refuseAt;
        };
        stages.store = [&](std::string_view converted) {
            stored += converted;
            return std::stoi(std::string(converted)) != row.stopAt;
        };
        EXPECT_EQ(piece_ring::Run(stages, row.twoThreads), row.outcome);
        EXPECT_EQ(stored, row.stored);
    }
}
