"""Spacecraft formation initialization: single runs, formations stepped from Python, Monte Carlo batches and
sweeps, with the same engine, numbers and messages as velmora-sim."""

import os
from typing import Any, Sequence, Union

import numpy as np
import numpy.typing as npt

Scenario = Union[dict[str, Any], str, os.PathLike[str]]
Algorithm = Union[str, int]

ALGORITHMS: tuple[str, ...]
STEP_SECONDS: float

def run(scenario: Scenario, steps: int | None = None, duration: float | None = None) -> dict[str, Any]:
    """Run a scenario as `velmora-sim run` does and return its result document (json.loads of its output, with
    sys.argv as its "command").

    steps: number of 0.01 s steps; duration: simulated seconds (not both). Without either the run lasts until
    the longest plan in use has ended. Raises ValueError with velmora-sim's message on bad input."""

class Formation:
    """A formation set up from a scenario and stepped in 0.01 s steps."""

    def __init__(self, scenario: Scenario) -> None:
        """Set up from a scenario dict or file, exactly as velmora.run and velmora-sim run set it up."""
    def step(self, steps: int = 1) -> bool:
        """Advance by steps steps of 0.01 s; True when some craft entered another plan segment on the way."""
    @property
    def positions(self) -> npt.NDArray[np.float64]:
        """Craft positions, an (n, 3) array (a copy)."""
    @property
    def velocities(self) -> npt.NDArray[np.float64]:
        """Craft velocities, an (n, 3) array (a copy)."""
    @property
    def attitudes(self) -> npt.NDArray[np.float64]:
        """Craft attitudes, an (n, 3, 3) array of body-to-world rotations, [craft, row, column] (a copy)."""
    def groups(self) -> list[int]:
        """The root craft of each craft's group."""
    @property
    def links(self) -> int:
        """Pairs of craft that have seen each other."""
    @property
    def initialized(self) -> bool:
        """Every craft is in one group."""
    @property
    def time(self) -> float:
        """Simulated time, seconds."""
    @property
    def count(self) -> int:
        """Number of craft."""

def batch(
    algorithm: Algorithm | None = None,
    count: int | None = None,
    trials: int | None = None,
    seed: int | None = None,
    first_trial: int | None = None,
    fov: float | None = None,
    tilt: float | None = None,
    max_speed: float | None = None,
    radius: float | None = None,
    box: float | None = None,
    duration: float | None = None,
    threads: int | None = None,
    shard: str | None = None,
    per_trial: bool = True,
) -> dict[str, Any]:
    """Run Monte Carlo trials as `velmora-sim batch` does and summarize them.

    Every argument means what the velmora-sim batch option of that name means; None keeps its default.
    Returns velmora-sim batch --json's summary with snake_case keys (initialized_fraction, ...) and, unless
    per_trial is False, "per_trial": the columns of a trial file (the parameters algorithm ... steps, then trial,
    seedState, initialized, stepsToInitialize (0 when not initialized), timeToInitialize (NaN then), links,
    groups) as a pandas DataFrame, or a dict of numpy arrays without pandas. Ctrl+C stops
    the trials and raises KeyboardInterrupt; bad arguments raise ValueError with velmora-sim's message."""

def sweep(
    algorithm: Algorithm | Sequence[Algorithm] | None = None,
    fov: float | Sequence[float] | None = None,
    count: int | None = None,
    trials: int | None = None,
    seed: int | None = None,
    first_trial: int | None = None,
    tilt: float | None = None,
    max_speed: float | None = None,
    radius: float | None = None,
    box: float | None = None,
    duration: float | None = None,
    threads: int | None = None,
    shard: str | None = None,
    per_trial: bool = True,
) -> dict[str, Any]:
    """Run one batch per algorithm and field of view as `velmora-sim sweep` does.

    algorithm: a name, an index, "all" (the default) or a list; fov: a number or a list. Returns velmora-sim
    sweep --json's document with snake_case keys, one summary per cell in "cells", and, unless per_trial is
    False, "per_trial": every cell's trials with their algorithm and fovDeg."""

def replay(
    trial: int,
    algorithm: Algorithm | None = None,
    count: int | None = None,
    seed: int | None = None,
    fov: float | None = None,
    tilt: float | None = None,
    max_speed: float | None = None,
    radius: float | None = None,
    box: float | None = None,
) -> dict[str, Any]:
    """The scenario of one batch trial with every craft explicit, as `velmora-sim replay` prints it."""

def coverage(
    algorithm: Algorithm | None = None,
    fov: float | None = None,
    tilt: float | None = None,
    radius: float | None = None,
    distance: float | None = None,
    nside: int | None = None,
    roles: Sequence[str] | None = None,
    duration: float | None = None,
    threads: int | None = None,
) -> dict[str, Any]:
    """The sighting-time map of a pair at rest, as `velmora-sim coverage` computes it; "time" and "step" hold
    numpy arrays per role pair in HEALPix RING order (NaN and 0: never)."""

def search(
    algorithm: Algorithm | None = None,
    fov: float | None = None,
    tilt: float | None = None,
    max_speed: float | None = None,
    radius: float | None = None,
    box: float | None = None,
    budget: int | None = None,
    seed: int | None = None,
    duration: float | None = None,
    threads: int | None = None,
) -> dict[str, Any]:
    """The worst two-craft configuration found, as `velmora-sim search` finds it; "scenario" replays in
    velmora.run."""
