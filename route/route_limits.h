// Every budget and threshold of the route finder, each with the reason for its value.
#pragma once

#include <cstdint>

struct TRouteLimits {
    // Neighbours the walk's ordered search of a question may look at, per cell left and
    // in all, without a known route: enough to walk a whole route with a little
    // backtracking. With one, the exact test usually costs about what it did before, so
    // the search only lays out a short path to ask about.
    int searchPerCell = 2;
    int searchBase = 50;
    int searchWithKnownRoute = 24;
    // Cells a part beyond a cut cell, and the board before it, need to be asked about
    // apart: below that the sweep of the whole costs no more than two.
    int splitPart = 8;
    // Covers tried with the edges taken in a shuffled order after rows and columns: each
    // costs tens of microseconds, a sweep it spares milliseconds. Since the walk asks
    // about short prefixes first, and so about large boards, eight rather than four spare
    // the adversarial positions a tenth of their states at the same time; the tables and
    // the families do not tell them apart.
    int shuffledCovers = 8;
    // Cells of a cycle left by the last cover tried as the other end of one more, spread
    // over the cycle: a corner or a wall that a route cannot pass through leaves it no
    // other place to end. Four spared the adversarial positions an eighth of their
    // states and a fifth of their peak memory; sixteen spared no more.
    int endsInCycle = 4;
    // Longest alternating cycle (pairs of an edge taken out and one put in) a join tries,
    // and the steps it may take per join: four pairs joined the staircase cycles of
    // boards with scattered holes; five cost more time than the sweeps they spared.
    int alternatingPairs = 4;
    int alternatingSteps = 20000;
    // Moves of the path's free end a join may make, per cell: a full turn round the path
    // and back.
    int endMovesPerCell = 2;
    // Layers a sweep must be able to use again to be chosen for their sake: three
    // columns. Below that the sweep that reaches the fixed end late is worth more.
    int minReusedColumns = 3;
    // States the sweep not chosen may compute first, and how many times the chosen
    // one's share is the other's: a board that allows no path near one side shows it to
    // the sweep from that side within a few columns, but where the chosen one answers,
    // the other's share is lost. Four cost the adversarial positions a sixth more states
    // than sixteen (slowest 103 ms against 90); sixty-four let one whose proof lies at
    // the other side take 103 ms. The tables and families do not tell them apart.
    // Where the other sweep answered the question before, both have the same share for
    // the first turns (equalShares): a tenth less time on the 48 worst adversarial
    // positions (slowest 94 ms against 88).
    uint64_t firstShare = 4096;
    uint64_t chosenShare = 16;
    // Shares below which the two sweeps have the same when the other answered the last
    // question. Without a bound, boards with scattered holes that both sides sweep to the
    // end cost up to 8.4 M states (152 ms, 33 MB); with this one the 144 adversarial
    // positions cost 5 % fewer states, the slowest 140 ms and 29 MB; 262,144 was
    // between the two.
    uint64_t equalShares = 65536;
    // States the sweep may compute on a question before the narrow sweep (states per
    // layer) is tried, and that width: boards with many scattered holes have routes by
    // the million that no cover joins, and a sweep keeping a thousand states a layer
    // finds one in a few milliseconds where the full sweep took 4-7 M states (162 ms
    // against 27). Since the walk asks about short prefixes first, whose large boards
    // mostly have a route, trying it after 262,144 states rather than a million spares
    // the adversarial positions 5 % of their states; 131,072 spared less. 4,096 wide, it
    // costs the questions that have no route more than it spares.
    uint64_t beamAfter = 262144;
    uint32_t beamWidth = 1024;
};

inline constexpr TRouteLimits kRouteLimits{};
