#pragma once
// A text converted piece by piece, on one thread or two, with the results handed on in the
// order the pieces came: the calling thread loads the pieces and stores the results, both
// threads convert whichever loaded piece comes first. Neither thread waits for the other
// while there is a piece it can convert itself, so a helper that other work keeps off its
// processor for a while costs little.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace piece_ring
{

struct Stages {
    // The next piece, on the calling thread in order: a view that stays valid until the piece
    // has been stored, of the text or of scratch (the piece's own buffer, kept between its
    // rounds); nullopt when there are no more pieces.
    std::function<std::optional<std::string_view>(std::string &scratch)> load;
    // A piece into out, on either thread; false when the piece is refused.
    std::function<bool(std::string_view piece, std::string &out)> convert;
    // A converted piece, on the calling thread in order; false stops the run.
    std::function<bool(std::string_view converted)> store;
};

enum class Outcome {
    Finished, // every piece was loaded, converted and stored
    Stopped, // store asked to stop
    Refused, // a piece was refused: nothing from it on was stored
};

// Runs the pieces through the stages; with twoThreads, two at a time, the second on a helper
// thread that has ended when Run returns.
Outcome Run(const Stages &stages, bool twoThreads);

} // namespace piece_ring
