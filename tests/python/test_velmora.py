"""The velmora module against velmora-sim: same results, same messages, same trials for any thread count."""

import csv
import glob
import json
import math
import os
import re
import signal
import subprocess
import sys
import textwrap
import threading
import time

import numpy as np
import pytest

import velmora

SIM = os.environ["VELMORA_SIM"]
SOURCE = os.environ["VELMORA_SOURCE_DIR"]
SCENARIOS = sorted(glob.glob(os.path.join(SOURCE, "examples", "*.json")) +
                   glob.glob(os.path.join(SOURCE, "tests", "golden", "*.scenario.json")))
# What differs between two runs of the same batch: how it was started and how long it took.
TIMING = {"command", "timing", "threads", "wall_seconds", "trials_per_second"}


def sim(*args):
    return subprocess.run([SIM, *map(str, args)], capture_output=True, text=True)


def sim_json(*args):
    done = sim(*args)
    assert done.returncode == 0, done.stderr
    return done.stdout


def without_timing(summary):
    out = {k: v for k, v in summary.items() if k not in TIMING and k != "perTrial"}
    if "cells" in out:
        out["cells"] = [without_timing(cell) for cell in out["cells"]]
    return out


def sim_message(*args):
    """The line velmora-sim prints for bad input, without its name and its pointer to --help, with each option
    named as the keyword argument it is in Python (--first-trial as first_trial)."""
    done = sim(*args)
    assert done.returncode == 2, done.stdout
    line = done.stderr.strip()
    assert line.startswith("velmora-sim: ")
    line = line[len("velmora-sim: "):].removesuffix(" (see velmora-sim --help)")
    return re.sub(r"--([a-z]+(-[a-z]+)*)", lambda m: m.group(1).replace("-", "_"), line)


@pytest.mark.parametrize("path", SCENARIOS, ids=os.path.basename)
def test_run_prints_what_velmora_sim_prints(path):
    text = sim_json("run", path).strip()
    expected = json.loads(text)
    result = velmora.run(path)
    assert result["command"] == sys.argv
    # Python writes doubles shortest-round-trip too: with velmora-sim's command line, the same bytes.
    result["command"] = expected["command"]
    assert json.dumps(result, separators=(",", ":"), ensure_ascii=False) == text
    # The same scenario as a dict sets up the same formation.
    with open(path, encoding="utf-8") as f:
        from_dict = velmora.run(json.load(f))
    assert without_timing(from_dict) == without_timing(result)


@pytest.mark.parametrize("options", [{"steps": 0}, {"steps": 250}, {"duration": 3.333}, {"duration": 60}])
def test_run_with_steps_or_duration(options):
    path = os.path.join(SOURCE, "examples", "counterexample.json")
    args = [f"--{k}={v}" for k, v in options.items()]
    assert without_timing(velmora.run(path, **options)) == without_timing(json.loads(sim_json("run", path, *args)))


def test_formation_steps_as_run_does():
    path = os.path.join(SOURCE, "examples", "default-scene.json")
    f = velmora.Formation(path)
    before = f.positions
    assert f.step(410) is True  # the first segment change of this scene is at step 315
    assert not np.array_equal(before, f.positions), "an array taken before the steps must keep its values"
    result = velmora.run(path, steps=410)
    craft = result["craft"]
    assert f.time == result["time"]
    assert f.count == len(craft) == 6
    assert f.positions.tolist() == [c["position"] for c in craft]
    assert f.velocities.tolist() == [c["velocity"] for c in craft]
    # The result lists each attitude column by column; the array is [craft, row, column].
    assert [a.T.ravel().tolist() for a in f.attitudes] == [c["attitude"] for c in craft]
    assert f.groups() == result["groups"]
    # Craft 2-5 at step 395, 4-5 at step 408, with the times and steps the result gives them.
    assert f.links == result["links"] and [(p["i"], p["j"], p["step"]) for p in f.links] == [(2, 5, 395), (4, 5, 408)]
    seen = f.seen
    assert seen.dtype == bool and seen.shape == (6, 6)
    assert sorted(zip(*np.nonzero(seen))) == [(2, 5), (4, 5), (5, 2), (5, 4)]
    assert [sum(1 << j for j in range(6) if seen[i, j]) for i in range(6)] == result["seen"]
    # The sensor looks along body z: the third column of each attitude, the result's last three numbers.
    assert f.axes.tolist() == [c["attitude"][6:9] for c in craft]
    assert f.initialized is False
    assert f.step(0) is False


def test_a_step_into_infinite_positions_is_refused_and_the_formation_kept():
    scenario = {"craft": [{"position": [1.7e308, 0, 0], "velocity": [1e308, 0, 0]}]}
    f = velmora.Formation(scenario)
    f.step(5)
    # 1.7e308 + k * 1e306 passes the largest double at the tenth step: the formation stops after the ninth,
    # as the desktop program's Run does.
    with pytest.raises(ValueError, match=r"^at t = 0\.10 s craft 0 has a position that is not a finite number"):
        f.step(100)
    nine = velmora.Formation(scenario)
    nine.step(9)
    assert f.time == nine.time
    assert np.array_equal(f.positions, nine.positions) and np.isfinite(f.positions).all()
    with pytest.raises(ValueError, match="at t = 0.10 s"):
        f.step(1)
    assert f.time == nine.time


def test_formation_arrays_outlive_it():
    f = velmora.Formation({"count": 3})
    positions, attitudes = f.positions, f.attitudes
    del f
    assert positions.shape == (3, 3) and attitudes.shape == (3, 3, 3)
    assert np.all(np.isfinite(positions)) and np.allclose(attitudes @ attitudes.transpose(0, 2, 1), np.eye(3))


BATCH = {"algorithm": "HalfTwist", "count": 8, "fov": 25, "seed": 7, "first_trial": 100, "trials": 600,
         "duration": 12.5}


def option_args(options):
    return [f"--{k.replace('_', '-')}={v}" for k, v in options.items()]


def read_csv(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def test_batch_equals_velmora_sim_summary_and_trial_file(tmp_path):
    trials_file = tmp_path / "t.jsonl"
    summary = json.loads(sim_json("batch", *option_args(BATCH), "--json", f"--trials-out={trials_file}"))
    result = velmora.batch(**BATCH)
    assert without_timing(result) == without_timing(summary)
    rows = [json.loads(line) for line in trials_file.read_text().splitlines()]
    table = result["perTrial"]
    assert list(table.columns) == list(rows[0].keys())
    assert len(table) == len(rows) == 600
    for column in ("trial", "seedState", "initialized", "links", "groups"):
        assert table[column].tolist() == [r[column] for r in rows], column
    # The file has null where a formation did not initialize: NaN steps and NaN seconds here.
    for column in ("stepsToInitialize", "timeToInitialize", "exactTimeToInitialize"):
        values = [math.nan if r[column] is None else r[column] for r in rows]
        np.testing.assert_array_equal(table[column].to_numpy(), values)
    assert table["stepsToInitialize"].isna().equals(~table["initialized"])
    assert table["missedSightings"].tolist() == [r["missedSightings"] for r in rows]
    # With 12.5 s at most, some of these formations stay apart.
    assert 0 < result["initialized"] < 600
    assert int(table["initialized"].sum()) == result["initialized"]


def test_continuous_sighting_as_velmora_sim_has_it():
    path = os.path.join(SOURCE, "tests", "golden", "missed-sighting.scenario.json")
    run = velmora.run(path, steps=3, sighting="continuous")
    assert without_timing(run) == without_timing(json.loads(sim_json("run", path, "--steps=3", "--sighting=continuous")))
    assert run["sighting"] == "continuous" and len(run["links"]) == 1
    summary = json.loads(sim_json("batch", *option_args(BATCH), "--sighting=continuous", "--json"))
    result = velmora.batch(**BATCH, sighting="continuous")
    assert without_timing(result) == without_timing(summary)
    assert set(result["perTrial"]["sighting"]) == {"continuous"}
    with pytest.raises(ValueError) as e:
        velmora.run(path, sighting="exact")
    assert str(e.value) == sim_message("run", path, "--sighting=exact")


def test_batch_from_two_threads_equals_one_thread():
    one = velmora.batch(**BATCH, threads=1)
    two = velmora.batch(**BATCH, threads=2)
    assert (one["timing"]["threads"], two["timing"]["threads"]) == (1, 2)
    assert without_timing(one) == without_timing(two)
    assert one["perTrial"].equals(two["perTrial"])


def test_sweep_equals_velmora_sim(tmp_path):
    options = {"algorithm": ["Orlo", "SimpleLowFov"], "fov": [20, 45.5], "count": 5, "trials": 150, "seed": 3}
    args = ["--algorithm=Orlo,SimpleLowFov", "--fov=20,45.5", "--count=5", "--trials=150", "--seed=3", "--json",
            f"--trials-out={tmp_path / 'sweep.csv'}"]
    result = velmora.sweep(**options)
    assert without_timing(result) == without_timing(json.loads(sim_json("sweep", *args)))
    table = result["perTrial"]
    rows = read_csv(tmp_path / "sweep.csv")
    assert list(table.columns) == list(rows[0].keys())
    assert table["algorithm"].tolist() == [r["algorithm"] for r in rows]
    assert table["fovDeg"].tolist() == [float(r["fovDeg"]) for r in rows]
    assert table["seedState"].tolist() == [int(r["seedState"]) for r in rows]
    assert len(table) == 4 * 150
    counts = table.groupby(["algorithm", "fovDeg"], sort=False)["initialized"].sum()
    assert counts.tolist() == [cell["initialized"] for cell in result["cells"]]
    # Every cell runs the same trials: the same seed states in each.
    assert (table["seedState"].to_numpy().reshape(4, 150) == table["seedState"][:150].to_numpy()).all()


def test_replay_equals_velmora_sim_and_runs_as_its_trial():
    options = {"algorithm": "HalfTwist", "count": 8, "fov": 25, "seed": 7}
    trials = velmora.batch(**options, first_trial=410, trials=4)["perTrial"]
    assert trials["initialized"].tolist() == [True, True, False, True]
    for trial, initialized, time in zip(trials["trial"], trials["initialized"], trials["timeToInitialize"]):
        scenario = velmora.replay(trial=trial, **options)
        assert scenario == json.loads(sim_json("replay", f"--trial={trial}", *option_args(options)))
        result = velmora.run(scenario)
        assert result["initialized"] == initialized
        # A trial stops at the step whose link joins the last two groups.
        if initialized:
            assert joined_at(len(scenario["craft"]), result["links"]) == time


def joined_at(count, links):
    root = list(range(count))

    def find(i):
        while root[i] != i:
            i = root[i]
        return i

    groups = count
    for link in links:
        a, b = find(link["i"]), find(link["j"])
        if a != b:
            root[a] = b
            groups -= 1
            if groups == 1:
                return link["time"]
    return None


BAD_BATCH = [
    {"count": 25},
    {"count": 2.5},
    {"fov": math.inf},
    {"tilt": math.nan},
    {"algorithm": "Foo"},
    {"algorithm": 5},
    {"trials": 0},
    {"trials": -3},
    {"threads": 0},
    {"first_trial": 2**64 - 1, "trials": 5},
    {"seed": 2**64},
    {"duration": -1},
    {"duration": 1e30},
    {"max_speed": -5},
]


@pytest.mark.parametrize("options", BAD_BATCH, ids=repr)
def test_bad_batch_arguments_raise_velmora_sims_message(options):
    with pytest.raises(ValueError) as raised:
        velmora.batch(**options)
    assert str(raised.value) == sim_message("batch", *option_args(options))


@pytest.mark.parametrize("command, options", [
    ("sweep", {"algorithm": ["Orlo", "Nope"]}),
    ("sweep", {"fov": [10, math.inf]}),
    ("sweep", {"algorithm": "all", "trials": 2**63}),
    ("replay", {"trial": None, "count": 3}),
    ("replay", {"trial": -1}),
], ids=repr)
def test_bad_sweep_and_replay_arguments(command, options):
    args = [f"--{k.replace('_', '-')}={','.join(map(str, v)) if isinstance(v, list) else v}"
            for k, v in options.items() if v is not None]
    with pytest.raises(ValueError) as raised:
        getattr(velmora, command)(**options)
    assert str(raised.value) == sim_message(command, *args)


# Python values and the velmora-sim text they stand for: numpy values, names split as velmora-sim splits its
# lists, floats that strtold would misread by one unit in the last place, zero-padded shards.
SAME_AS_TEXT = [
    ("sweep", {"algorithm": "Orlo,SimpleLowFov", "fov": [20, 30]}, ["--algorithm=Orlo,SimpleLowFov", "--fov=20,30"],
     lambda r: [(c["algorithm"], c["fovDeg"]) for c in r["cells"]] ==
     [("Orlo", 20.0), ("Orlo", 30.0), ("SimpleLowFov", 20.0), ("SimpleLowFov", 30.0)]),
    ("sweep", {"algorithm": ["HalfTwist", 1], "fov": np.array([30, 40], dtype=np.float32)},
     ["--algorithm=HalfTwist,1", "--fov=30,40"], lambda r: len(r["cells"]) == 4),
    ("batch", {"radius": 4.91e-06, "fov": np.float64(33.3), "count": np.int64(5), "seed": np.uint64(2**64 - 1)},
     ["--radius=4.91e-06", "--fov=33.3", "--count=5", "--seed=18446744073709551615"],
     lambda r: r["craftRadius"] == 4.91e-06 and r["seed"] == 2**64 - 1),
    ("batch", {"shard": "010/100", "trials": 100}, ["--shard=010/100", "--trials=100"],
     lambda r: (r["firstTrial"], r["trials"]) == (10, 1)),
    ("batch", {"count": 5.0}, ["--count=5.0"], None),
    ("batch", {"trials": np.int64(0)}, ["--trials=0"], None),
]


@pytest.mark.parametrize("command, options, args, check", SAME_AS_TEXT, ids=repr)
def test_python_values_mean_what_their_text_means_to_velmora_sim(command, options, args, check):
    if "trials" not in options:
        options, args = {"trials": 8, **options}, ["--trials=8", *args]
    options, args = {"per_trial": False, **options}, [*args, "--json"]
    if check is None:
        with pytest.raises(ValueError) as raised:
            getattr(velmora, command)(**options)
        assert str(raised.value) == sim_message(command, *args)
        return
    result = getattr(velmora, command)(**options)
    assert without_timing(result) == without_timing(json.loads(sim_json(command, *args)))
    assert check(result)


@pytest.mark.parametrize("call, message", [
    (lambda: velmora.batch(count="8"), "count must be a number, not str '8'"),
    (lambda: velmora.batch(threads=True), "threads must be a number, not bool True"),
    (lambda: velmora.sweep(fov=[30, "40"]), "fov must be a number, not str '40'"),
    (lambda: velmora.sweep(max_speed=[2, None]), "max_speed must be a number, not NoneType None"),
    (lambda: velmora.replay(trial=1, box="--help"), "box must be a number, not str '--help'"),
    (lambda: velmora.run({}, steps=1.5j), "steps must be a number, not complex 1.5j"),
    (lambda: velmora.batch(shard=3), "shard must be a str such as \"3/8\", not 3"),
    (lambda: velmora.batch(per_trial="no"), "per_trial must be True or False, not 'no'"),
    (lambda: velmora.batch(trails=5), "batch() got an unexpected keyword argument 'trails' (did you mean 'trials'?)"),
    (lambda: velmora.sweep(fov_deg=[30]), "sweep() got an unexpected keyword argument 'fov_deg' (did you mean 'fov'?)"),
    (lambda: velmora.replay(trial=1, maxspeed=3), "replay() got an unexpected keyword argument 'maxspeed' "
                                                  "(did you mean 'max_speed'?)"),
    (lambda: velmora.batch(zzz=1), "batch() got an unexpected keyword argument 'zzz'"),
    (lambda: velmora.batch("Orlo", algorithm="Orlo"), "batch() got multiple values for argument 'algorithm'"),
    (lambda: velmora.replay(*range(10)), "replay() takes at most 9 positional arguments (10 given)"),
    (lambda: velmora.run(), "run() missing required argument 'scenario'"),
    (lambda: velmora.Formation(scenaro={}), "Formation() got an unexpected keyword argument 'scenaro' "
                                            "(did you mean 'scenario'?)"),
    (lambda: velmora.Formation({}).step("3"), "steps must be an int, not '3'"),
    (lambda: velmora.Plan("P"), "Plan() missing required argument 'roles'"),
    (lambda: velmora.Plan("P", [[(1, "x", 1)]]).table(tlt=30), "table() got an unexpected keyword argument 'tlt' "
                                                              "(did you mean 'tilt'?)"),
], ids=range(19))
def test_wrong_types_and_unknown_keywords_raise_type_error_in_python_s_words(call, message):
    with pytest.raises(TypeError) as raised:
        call()
    assert str(raised.value) == message


def test_signatures_and_version():
    import inspect
    assert list(inspect.signature(velmora.sweep).parameters)[:3] == ["algorithm", "fov", "count"]
    assert str(inspect.signature(velmora.run)) == "(scenario, steps=None, duration=None, sighting=None)"
    assert velmora.__version__ == sim("--version").stdout.split()[-1]


def test_sweep_takes_a_list_for_every_parameter():
    lists = velmora.sweep(algorithm="Orlo", count=[3, 5], max_speed=[2, 10], duration=[6, 30], trials=40)
    table = lists["perTrial"]
    cells = table[["count", "maxSpeed", "duration"]].drop_duplicates().itertuples(index=False, name=None)
    assert list(cells) == [(n, v, d) for n in (3, 5) for v in (2.0, 10.0) for d in (6.0, 30.0)]
    # Each cell is the batch of its parameters (the sixth: 5 craft, 2 m/s, 30 s).
    one = velmora.batch(algorithm="Orlo", count=5, max_speed=2, duration=30, trials=40)
    cell = table[(table["count"] == 5) & (table["maxSpeed"] == 2) & (table["duration"] == 30)]
    assert cell.reset_index(drop=True).equals(one["perTrial"])
    assert without_timing(lists["cells"][5]) == {k: v for k, v in without_timing(one).items()
                                                  if k in lists["cells"][5]}
    with pytest.raises(ValueError, match='^algorithm: unknown algorithm ""'):
        velmora.sweep(algorithm=["HalfTwist", ""])


def test_bad_runs_raise_velmora_sims_message(tmp_path):
    facing = os.path.join(SOURCE, "examples", "facing-pair.json")
    bad = tmp_path / "bad.json"
    bad.write_text('{"count": 30}')
    cases = [
        ((facing,), {"steps": 2, "duration": 1}, ["--steps=2", "--duration=1"]),
        ((facing,), {"steps": -1}, ["--steps=-1"]),
        ((facing,), {"duration": math.nan}, ["--duration=nan"]),
        ((str(bad),), {}, []),
        ((str(tmp_path / "missing.json"),), {}, []),
    ]
    for args, options, sim_args in cases:
        with pytest.raises(ValueError) as raised:
            velmora.run(*args, **options)
        assert str(raised.value) == sim_message("run", *args, *sim_args)
    with pytest.raises(ValueError, match='"count" must be an integer from 0 to 20, not 30'):
        velmora.Formation({"count": 30})
    with pytest.raises(TypeError):
        velmora.run(42)


@pytest.mark.parametrize("call", [lambda: velmora.batch(trials=10**12),
                                  lambda: velmora.sweep(fov=[10, 20], trials=10**12)])
def test_a_trial_table_larger_than_memory_is_refused_before_running(call):
    with pytest.raises(ValueError, match=r"^per_trial: a table of .* trials needs about .* GB, more than half"):
        call()


def run_python(code, **kwargs):
    return subprocess.Popen([sys.executable, "-c", textwrap.dedent(code)], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True, **kwargs)


def test_command_line_bytes_that_are_not_utf8_are_quoted_escaped():
    done = subprocess.run([sys.executable, "-c", "import json, sys, velmora; "
                           "print(json.dumps(velmora.run(sys.argv[1], steps=1)['command']))",
                           os.path.join(SOURCE, "examples", "facing-pair.json").encode(), b"caf\xe9"],
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert json.loads(done.stdout)[-1] == "caf\\xE9"


def test_without_pandas_the_trials_are_numpy_arrays():
    done = run_python("""
        import sys
        sys.modules["pandas"] = None  # as if pandas were not installed
        import velmora
        table = velmora.batch(trials=50, duration=4)["perTrial"]
        print(type(table).__name__, sorted((k, v.dtype.name, len(v)) for k, v in table.items()))
    """)
    out, err = done.communicate(timeout=120)
    assert done.returncode == 0, err
    assert out.split(" ", 1)[0] == "dict"
    assert eval(out.split(" ", 1)[1]) == sorted([
        ("algorithm", "object", 50), ("plan", "object", 50), ("maxSpeed", "float64", 50), ("fovDeg", "float64", 50),
        ("tiltDeg", "float64", 50), ("craftRadius", "float64", 50), ("boxHalfSize", "float64", 50),
        ("count", "int32", 50), ("seed", "uint64", 50), ("firstTrial", "uint64", 50), ("trials", "uint64", 50),
        ("duration", "float64", 50), ("steps", "int64", 50), ("sighting", "object", 50),
        ("trial", "uint64", 50), ("seedState", "uint32", 50), ("initialized", "bool", 50),
        ("stepsToInitialize", "float64", 50), ("timeToInitialize", "float64", 50),
        ("exactTimeToInitialize", "float64", 50), ("links", "int32", 50), ("groups", "int32", 50),
        ("missedSightings", "int32", 50)])


def test_other_python_threads_run_while_trials_run():
    ticks = []
    stop = threading.Event()

    def count():
        while not stop.is_set():
            ticks.append(time.monotonic())

    counter = threading.Thread(target=count)
    counter.start()
    try:
        start = time.monotonic()
        velmora.batch(trials=10000, threads=1, per_trial=False)
        end = time.monotonic()
    finally:
        stop.set()
        counter.join()
    # Holding the interpreter lock while the trials run would stop the counter for the whole batch.
    stamps = [start] + [t for t in ticks if start < t < end] + [end]
    longest_pause = max(b - a for a, b in zip(stamps, stamps[1:]))
    assert longest_pause < 0.5 * (end - start)


@pytest.mark.parametrize("call", [
    # Wait and Check at 10 degrees flies plans of thousands of seconds: this batch would run for many minutes.
    'velmora.batch(algorithm="WaitAndCheck", fov=10, trials=100000, threads=2)',
    # Ten days of simulated time.
    'velmora.run(velmora.replay(trial=1, count=20), steps=10**8)',
])
def test_ctrl_c_stops_a_long_batch_or_run_and_leaves_no_thread(call):
    child = run_python(f"""
        import os, sys, threading, velmora
        print("started", flush=True)
        try:
            {call}
        except KeyboardInterrupt:
            # The system's threads but Python's own (tqdm's monitor among them), and the main thread.
            trial_threads = len(os.listdir("/proc/self/task")) - threading.active_count()
            print("interrupted, threads left:", 1 + trial_threads, flush=True)
            sys.exit(3)
    """)
    try:
        assert child.stdout.readline() == "started\n"
        time.sleep(1.0)  # into the trials
        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=30)
    finally:
        child.kill()
    assert child.returncode == 3, err
    assert out == "interrupted, threads left: 1\n"


@pytest.mark.parametrize("call, setting, shown", [
    # About two seconds of Wait and Check trials on one thread: long enough for the bar to appear.
    ('velmora.batch(algorithm="WaitAndCheck", fov=20, trials=24, threads=1)', "", "batch WaitAndCheck"),
    ('velmora.sweep(algorithm="WaitAndCheck", fov=[20, 25], trials=12, threads=1)', "", "sweep of 2 cells"),
    ('velmora.batch(algorithm="WaitAndCheck", fov=20, trials=24, threads=1, progress=False)', "", None),
    ('velmora.batch(algorithm="WaitAndCheck", fov=20, trials=24, threads=1)', "no tqdm", None),
    # Done within the bar's first second: nothing shown.
    ("velmora.batch(trials=5, duration=1)", "", None),
])
def test_a_long_batch_shows_a_progress_bar_unless_told_not_to(call, setting, shown):
    child = run_python(f"""
        import sys
        if {setting == "no tqdm"}:
            sys.modules["tqdm"] = None  # as if tqdm were not installed
        import velmora
        print(len({call}["perTrial"]))
    """)
    out, err = child.communicate(timeout=300)
    assert child.returncode == 0, err
    assert out == ("5\n" if "trials=5" in call else "24\n")
    if shown is None:
        assert err == ""
    else:
        # The last state of the bar: every trial done.
        last = re.split(r"[\r\n]+", err.strip())[-1]
        assert last.startswith(f"{shown}: 100%|") and "24/24" in last


def test_coverage_is_velmora_sims_map_in_healpix_ring_order(tmp_path):
    healpy = pytest.importorskip("healpy")
    args = dict(algorithm="Orlo", fov=30, tilt=25, nside=8)
    r = velmora.coverage(threads=2, **args)
    cli = sim("coverage", "--algorithm", "Orlo", "--fov", 30, "--tilt", 25, "--nside", 8, "--json")
    assert cli.returncode == 0, cli.stderr
    summary = json.loads(cli.stdout)
    assert [m["roles"] for m in r["maps"]] == ["even-odd", "even-even", "odd-odd"]
    assert r["maps"][0]["sighted"] == summary["maps"][0]["sighted"]
    time, step = r["time"]["even-odd"], r["step"]["even-odd"]
    assert time.shape == (healpy.nside2npix(8),) and step.shape == time.shape
    assert np.array_equal(np.isnan(time), step == 0)
    assert np.count_nonzero(step) == r["maps"][0]["sighted"]
    # The listed worst pixels point where healpy puts those pixels' centres in RING order.
    for worst in r["maps"][0]["worst"]:
        assert np.allclose(worst["direction"], healpy.pix2vec(8, worst["pixel"]), atol=1e-15)
        assert (worst["step"] or 0) == step[worst["pixel"]]
    # The FITS map velmora-sim writes reads back in healpy as the same seconds, never masked as unseen.
    fits = tmp_path / "orlo.fits"
    assert sim("coverage", "--algorithm", "Orlo", "--fov", 30, "--tilt", 25, "--nside", 8, "--map", fits).returncode == 0
    read = healpy.read_map(str(fits), field=(0, 1, 2))
    for column, name in zip(read, ["even-odd", "even-even", "odd-odd"]):
        seen = ~np.isnan(r["time"][name])
        assert np.array_equal(column != healpy.UNSEEN, seen)
        assert np.array_equal(column[seen], r["time"][name][seen])
    with pytest.raises(ValueError, match="nside must be a power of two"):
        velmora.coverage(nside=12)
    with pytest.raises(ValueError, match="roles: \"even-third\""):
        velmora.coverage(roles=["even-third"])


def test_search_is_reproducible_and_its_scenario_replays_in_run():
    args = dict(algorithm="Simple", fov=70, tilt=25, max_speed=35, budget=400, seed=9)
    a = velmora.search(threads=1, **args)
    b = velmora.search(threads=2, **args)
    assert a["scenario"]["craft"] == b["scenario"]["craft"]
    assert a["worst"] == b["worst"]
    run = velmora.run(a["scenario"])
    if a["worst"]["initializes"]:
        assert run["links"][0]["step"] == a["worst"]["step"]
        assert run["links"][0]["time"] == a["worst"]["time"]
    else:
        assert run["links"] == []
    with pytest.raises(ValueError, match="budget"):
        velmora.search(budget=3)
