"""Spacecraft formation initialization: single runs, formations stepped from Python, Monte Carlo batches and
sweeps, with the same engine, numbers and messages as velmora-sim."""

import os
from typing import Any, Sequence, Union

import numpy as np
import numpy.typing as npt

import pandas as pd

Scenario = Union[dict[str, Any], str, os.PathLike[str]]

class Plan:
    """A maneuver plan: the roles a formation's craft fly, craft i flying role i mod the number of roles, each a
    list of constant-rate turns (duration, axis, rate).

    A duration or rate is a number or an expression in pi, tilt, fov (radians) and g; an axis is "x", "y",
    "z", "-x", "-y", "-z" or three numbers. A Plan goes wherever an algorithm does. Raises ValueError with the
    words a plan file of it would get."""

    def __init__(
        self,
        name: str,
        roles: Sequence[Sequence[tuple[float | str, str | Sequence[float], float | str] | dict[str, Any]]],
        description: str | None = None,
    ) -> None: ...
    @staticmethod
    def load(path: str | os.PathLike[str]) -> Plan:
        """Read a plan file (FILE.plan.json)."""
    @property
    def name(self) -> str: ...
    @property
    def description(self) -> str: ...
    @property
    def roles(self) -> int:
        """Number of roles."""
    @property
    def sha256(self) -> str:
        """SHA-256 of its canonical text (to_json()), in hex: its identity in every result."""
    def to_json(self) -> str:
        """The plan's canonical text, as a plan file."""
    def save(self, path: str | os.PathLike[str]) -> None:
        """Write it as a plan file; the file is replaced only once the whole plan is written (OSError else)."""
    def table(self, tilt: float | None = None, fov: float | None = None) -> pd.DataFrame:
        """Each role's segments at a tilt and FOV half-angle in degrees (45 and 70 when not given), as
        `velmora-sim plan` prints them: role, segment, start, end (seconds), axis (unit 3-tuple), rate (rad/s)."""

# A built-in plan's name or index, a Plan, or a plan file's path.
Algorithm = Union[str, int, Plan, os.PathLike[str]]

__version__: str
ALGORITHMS: tuple[str, ...]
STEP_SECONDS: float

def run(
    scenario: Scenario, steps: int | None = None, duration: float | None = None, sighting: str | None = None
) -> dict[str, Any]:
    """Run a scenario as `velmora-sim run` does and return its result document (json.loads of its output, with
    sys.argv as its "command").

    steps: number of 0.01 s steps; duration: simulated seconds (not both). Without either the run lasts until
    the longest plan in use has ended. sighting: "grid" (the default) or "continuous", as --sighting. Raises
    ValueError with velmora-sim's message on bad input."""

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
    def links(self) -> list[dict[str, Any]]:
        """Pairs of craft that have seen each other, in the order they did, as run's result lists them: dicts of
        i, j, step, time and exactTime (seconds)."""
    @property
    def seen(self) -> npt.NDArray[np.bool_]:
        """Who has seen whom: an (n, n) bool array, symmetric, [i, j] set once craft i and j have seen each other
        (a copy)."""
    @property
    def axes(self) -> npt.NDArray[np.float64]:
        """Each craft's sensor axis (its body z axis) in the world, an (n, 3) array of unit vectors (a copy)."""
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
    sighting: str | None = None,
    per_trial: bool = True,
    progress: bool = True,
) -> dict[str, Any]:
    """Run Monte Carlo trials as `velmora-sim batch` does and summarize them.

    Every argument means what the velmora-sim batch option of that name means; None keeps its default.
    Returns velmora-sim batch --json's summary, its keys camelCase as the files write them
    (initializedFraction, ...), and, unless per_trial is False, "perTrial": the columns of a trial file (the
    parameters algorithm ... steps and sighting, then trial, seedState, initialized, stepsToInitialize,
    timeToInitialize and exactTimeToInitialize (NaN when not initialized), links, groups, missedSightings) as a pandas DataFrame, or a dict of numpy arrays without pandas.
    A run that lasts more than a second shows a tqdm progress bar when tqdm is installed, unless progress is
    False. Ctrl+C stops the trials and raises KeyboardInterrupt; a bad value raises ValueError naming the argument, a
    wrong type or an unknown keyword TypeError."""

def sweep(
    algorithm: Algorithm | Sequence[Algorithm] | None = None,
    fov: float | Sequence[float] | None = None,
    count: int | Sequence[int] | None = None,
    trials: int | None = None,
    seed: int | None = None,
    first_trial: int | None = None,
    tilt: float | Sequence[float] | None = None,
    max_speed: float | Sequence[float] | None = None,
    radius: float | Sequence[float] | None = None,
    box: float | Sequence[float] | None = None,
    duration: float | Sequence[float] | None = None,
    threads: int | None = None,
    shard: str | None = None,
    sighting: str | None = None,
    per_trial: bool = True,
    progress: bool = True,
) -> dict[str, Any]:
    """Run one batch per cell as `velmora-sim sweep` does: every combination of the values given.

    algorithm: a name, an index, a Plan, a path, "all" (the default) or a list; fov, count, tilt, max_speed,
    radius, box, duration: a number or a list. Returns velmora-sim sweep --json's document, one summary per
    cell in "cells", and, unless per_trial is False, "perTrial": every cell's trials with their parameters."""

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

def read_trials(path: str | os.PathLike[str]) -> pd.DataFrame:
    """A trial file (FILE.jsonl or FILE.csv, as batch and sweep write with --trials-out) as the table
    velmora.batch gives in "perTrial" (a dict of numpy arrays without pandas). Every row is checked against the
    parameters it names; a CSV file's times are the exact times after their steps. Raises ValueError naming
    the file and line of a row that cannot be read."""

def merge(paths: str | os.PathLike[str] | Sequence[str | os.PathLike[str]]) -> dict[str, Any]:
    """The summary `velmora-sim merge --json` prints for the trial files of one batch or sweep run in shards:
    the unsplit run's, without its timing. Raises ValueError naming the parameter in which two files differ,
    or the trials missing or doubled."""

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
