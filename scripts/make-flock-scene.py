#!/usr/bin/env python3
"""Print the JSON scene of one flocking group of N bugs, for `kova-cli build`.

    python3 scripts/make-flock-scene.py N [SEED] > flock-N.json
    kova-cli build flock-N.json flock-N.kvz

The group's template is the one of simulations/scenes/flock.json (Cohesion,
Alignment and Separation combined by weight factors). The members are placed
at random in an arena of the proportions 4 : 3 whose area grows with N, so
that the density stays at 400 bugs per 400 x 300 metres whatever the size:
the neighbourhoods the behaviours see are alike from 100 to 100,000 bugs.
The same N and SEED always give the same text; the seed is also the scene's
"randomSeed", from which the members draw their speeds and headings.
"""

import json
import math
import random
import sys

# 400 bugs on 400 x 300 metres.
METRES_PER_BUG = 400 * 300 / 400


def arena_size(count):
    """Width and height in whole metres, 4 : 3, about METRES_PER_BUG each."""
    area = max(count, 1) * METRES_PER_BUG
    unit = math.sqrt(area / 12)
    return max(1, round(4 * unit)), max(1, round(3 * unit))


def template():
    def behaviour(kind, weight, sensor_range, angle):
        return {
            "kind": kind,
            "weight": weight,
            "sensorRangeOn": True,
            "sensorRange": sensor_range,
            "angleOn": True,
            "angle": angle,
        }

    return {
        "name": "Boid",
        "combinationMethod": 1,
        "behaviours": [
            behaviour("Cohesion", 1, 40, 90),
            behaviour("Alignment", 4, 30, 90),
            behaviour("Separation", 40, 9, 60),
        ],
        "currentSpeed": {"base": 20, "difference": 20, "signMode": "+-"},
        "maxSpeed": 30,
        "minSpeed": 10,
        "maxForce": 10,
        "mass": 10,
        "diameter": 4,
        "orientation": {"base": 180, "difference": 100, "signMode": "+-"},
    }


def scene(count, seed):
    width, height = arena_size(count)
    generator = random.Random(seed)
    # Positions to the centimetre keep the file's text short and exact enough.
    members = [
        [round(generator.uniform(0, width), 2), round(generator.uniform(0, height), 2)]
        for _ in range(count)
    ]
    return {
        "_comment": "One group of %d flocking bugs at random positions, made by "
        "scripts/make-flock-scene.py %d %d." % (count, count, seed),
        "settings": {"fps": 25},
        "space": {"width": width, "height": height},
        "randomSeed": seed,
        "groups": [
            {
                "name": "Flock",
                "color": [40, 70, 200],
                "template": template(),
                "members": members,
            }
        ],
    }


def main(arguments):
    if len(arguments) not in (1, 2) or arguments[0] in ("-h", "--help"):
        sys.stderr.write("usage: make-flock-scene.py N [SEED]\n")
        return 2
    try:
        count = int(arguments[0])
        seed = int(arguments[1]) if len(arguments) == 2 else 1
    except ValueError:
        sys.stderr.write("make-flock-scene.py: N and SEED are whole numbers\n")
        return 2
    if count < 0 or not 0 <= seed <= 0xFFFFFFFF:
        sys.stderr.write("make-flock-scene.py: N must be >= 0 and SEED a 32-bit number\n")
        return 2
    json.dump(scene(count, seed), sys.stdout, separators=(",", ":"))
    sys.stdout.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
