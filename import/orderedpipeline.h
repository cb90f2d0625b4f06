#pragma once

#include <QString>

#include <functional>

// Runs a list of items on a small private thread pool while keeping the
// results those of a one-by-one run: items that share a key run one after
// another in list order, and every item is started in list order as far as
// the keys allow. At most `threads` items are in work at once, so no more
// than that many hold their data in memory.
class OrderedPipeline
{
public:
    struct Steps
    {
        int count = 0;
        int threads = 1;
        std::function<QString(int index)> key; // items with equal keys never overlap
        std::function<void(int index)> work;   // runs on a pool thread
        std::function<bool()> stop;            // asked before each start; true starts nothing more
        std::function<void(int index)> done;   // runs on the calling thread, one item at a time
    };

    // Returns once every started item is done; the result is the number of
    // items started.
    static int run(const Steps& steps);
};
