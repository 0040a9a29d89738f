#pragma once

#include <cstdint>

namespace kova {

class TSimulation;

// Reproducible scenes for measuring the engine: the same arguments always give
// the same simulation, bit for bit.
struct TWorkloadOptions {
    int Bugs = 1000;
    // Flock: the mean number of neighbours within sensor range of a bug, which
    // sizes the arena.
    int NeighboursInRange = 10;
    // Flock: how many members also seek another member, picked at random;
    // they are spread evenly over the list.
    int Seekers = 0;
    // Obstacles: how many line and circle obstacles every bug avoids.
    int Obstacles = 1000;
};

// One group with Cohesion, Alignment and Separation (range test on, 30 m;
// angle test on, 110 degrees; linear combination) spread evenly over a square
// arena sized for the requested neighbour count; the seekers add a Seek of
// their target bug to their list.
void BuildFlockWorkload(TSimulation& simulation, const TWorkloadOptions& options);

// One group with Obstacle Avoidance over the given number of obstacles, half
// lines and half circles, scattered over a 2000 x 2000 m arena.
void BuildObstacleWorkload(TSimulation& simulation, const TWorkloadOptions& options);

// A fingerprint of every bug's position and velocity, all 80 bits of each
// value: two runs that end with the same digest almost surely ended alike.
std::uint64_t StateDigest(const TSimulation& simulation);

} // namespace kova
