"""velmora.Plan: plans stated in Python or read from files, flown wherever an algorithm is taken."""

import hashlib
import json
import math
import os
import pathlib
import subprocess

import numpy as np
import pytest

import velmora

SIM = os.environ["VELMORA_SIM"]
ORLO_FILE = os.path.join(os.environ["VELMORA_SOURCE_DIR"], "plans", "orlo.plan.json")
ORLO_TEXT = ("Orlo as the built-in plan flies it: 5 pi + 5 tilt seconds. Role 0 (craft with even indices) holds "
             "still for the first pi seconds while role 1 turns half a turn about x.")
TURNS = [("3*pi", "x", 1), ("tilt", "y", 1), ("2*tilt", "y", -1.0), ("pi", "x", 1), ("2*tilt", "y", -1)]


def orlo():
    """orlo.plan.json stated in Python (1.0 for 1 changes nothing of it)."""
    return velmora.Plan(name="Orlo", description=ORLO_TEXT,
                        roles=[[("pi", "x", 0), *TURNS], [("pi", "x", 1.0), *TURNS]])


def orlo_by_other_words():
    """The same turns as orlo.plan.json in other words: a number for pi, -y against a negative rate."""
    turns = TURNS[:-1] + [("2*tilt", "-y", 1)]
    return velmora.Plan(name="Orlo", roles=[[(math.pi, "x", 0), *turns], [(math.pi, [1, 0, 0], 1), *turns]])


def test_a_plan_stated_in_python_is_the_shipped_file_and_flies_as_the_built_in():
    mine, shipped = orlo(), velmora.Plan.load(pathlib.Path(ORLO_FILE))
    assert (mine.name, mine.roles) == ("Orlo", 2)
    # Identity: the SHA-256 of the canonical text, computed here independently of the module.
    assert hashlib.sha256(shipped.to_json().encode()).hexdigest() == shipped.sha256
    options = {"count": 6, "fov": 35, "tilt": 30, "trials": 200, "seed": 4}
    built_in = velmora.batch(algorithm="Orlo", **options)["perTrial"]
    outcome = ["seedState", "initialized", "stepsToInitialize", "timeToInitialize", "links", "groups"]
    for algorithm in (mine, ORLO_FILE, pathlib.Path(ORLO_FILE), orlo_by_other_words()):
        table = velmora.batch(algorithm=algorithm, **options)["perTrial"]
        assert table[outcome].equals(built_in[outcome])
        assert set(table["plan"]) == {algorithm.sha256 if isinstance(algorithm, velmora.Plan) else shipped.sha256}
        assert set(table["algorithm"]) == {"Orlo"}
    assert mine == shipped and mine.sha256 == shipped.sha256 and hash(mine) == hash(shipped)
    # Flying alike is not being the same plan: its identity says what it states.
    assert orlo_by_other_words() != shipped


def test_algorithm_takes_plans_paths_and_names_in_one_list(tmp_path):
    mine = velmora.Plan(name="Spin", roles=[[("2*pi", [0, 1, 1], "g")]])
    path = tmp_path / "spin.plan.json"
    mine.save(path)
    sweep = velmora.sweep(algorithm=[mine, "Orlo", path, "SimpleLowFov,1"], fov=[30, 40], trials=20,
                          per_trial=False)
    # The plan saved is the plan stated: one algorithm, raced once.
    assert [(c["algorithm"], c["fovDeg"]) for c in sweep["cells"]] == [
        (a, f) for a in ("Spin", "Orlo", "SimpleLowFov", "Simple") for f in (30, 40)]
    # A path object names a file whatever its name: no list split at its comma, no extension needed.
    odd = tmp_path / "spin,2.plan"
    mine.save(odd)
    assert velmora.batch(algorithm=odd, trials=5, per_trial=False)["plan"] == mine.sha256
    with pytest.raises(ValueError, match=r'^algorithm: unknown algorithm ".*spin,2.plan"'):
        velmora.batch(algorithm=str(odd), trials=5)
    with pytest.raises(ValueError, match=r"^algorithm: 2 algorithms given where one runs; velmora.sweep races"):
        velmora.batch(algorithm=[mine, "Orlo"], trials=5)
    replayed = velmora.replay(trial=3, algorithm=mine)
    assert replayed["algorithm"] == json.loads(mine.to_json())
    # A scenario's algorithm may be a Plan or a plan file's path object too.
    scenario = velmora.replay(trial=3, algorithm="Orlo")
    by_name = velmora.run(scenario, steps=900)
    for algorithm in (orlo(), pathlib.Path(ORLO_FILE)):
        result = velmora.run({**scenario, "algorithm": algorithm}, steps=900)
        assert result["craft"] == by_name["craft"] and result["links"] == by_name["links"]
        # The result embeds the plan, so it reproduces from itself.
        assert velmora.Plan(**{k: v for k, v in result["parameters"]["algorithm"].items() if k != "velmoraPlan"},
                            ) == orlo()
    assert scenario["algorithm"] == "Orlo", "the caller's dict is left as it was"


def test_table_is_velmora_sim_plan_s_and_adds_up_by_hand():
    table = orlo().table(tilt=30, fov=45)
    shown = json.loads(subprocess.run([SIM, "plan", ORLO_FILE, "--tilt=30", "--fov=45", "--json"],
                                      capture_output=True, text=True, check=True).stdout)
    rows = [(r, k, s["start"], s["end"], tuple(s["axis"]), s["rate"])
            for r, role in enumerate(shown["roles"]) for k, s in enumerate(role["segments"])]
    assert list(table.columns) == ["role", "segment", "start", "end", "axis", "rate"]
    assert list(table.itertuples(index=False, name=None)) == rows
    # pi, 3 pi, tilt, 2 tilt, pi, 2 tilt with tilt = 30 degrees = pi / 6.
    ends = np.cumsum([math.pi, 3 * math.pi, math.pi / 6, math.pi / 3, math.pi, math.pi / 3])
    np.testing.assert_allclose(table["end"][:6], ends, rtol=1e-15)
    assert table["axis"][5] == (0.0, 1.0, 0.0) and table["rate"][5] == -1.0
    assert orlo().table()["end"].iloc[-1] == pytest.approx(5 * math.pi + 5 * math.pi / 4)


def plan_file_message(tmp_path, doc, *options):
    path = tmp_path / "p.plan.json"
    path.write_text(json.dumps(doc))
    done = subprocess.run([SIM, "plan", str(path), *options], capture_output=True, text=True)
    assert done.returncode == 2, done.stdout
    return done.stderr.strip().removeprefix("velmora-sim: ").replace(f'plan file "{path}"', "the plan")


def as_file(name, roles, description=None):
    doc = {"velmoraPlan": 1, "name": name, "description": description,
           "roles": [{"segments": [{"duration": d, "axis": a, "rate": r} for d, a, r in role]} for role in roles]}
    return {k: v for k, v in doc.items() if v is not None}


BAD_PLANS = [
    ("Empty", []),
    ("Nine", [[(1, "x", 1)]] * 9),
    ("Long", [[(1, "x", 1)] * 65]),
    ("", [[(1, "x", 1)]]),
    ("Unknown", [[(1, "x", 1)], [("2*tau", "x", 1)]]),
    ("Syntax", [[("(pi", "x", 1)]]),
    ("Zero", [[(1, [0, 0, 0], 1)]]),
    ("Letter", [[(1, "w", 1)]]),
    ("Text", [[(1, "x", True)]]),
]


@pytest.mark.parametrize("name, roles", BAD_PLANS, ids=repr)
def test_a_bad_plan_is_refused_as_its_file_is(tmp_path, name, roles):
    with pytest.raises(ValueError) as raised:
        velmora.Plan(name=name, roles=roles)
    assert str(raised.value) == plan_file_message(tmp_path, as_file(name, roles))


def test_refusals_of_shapes_values_and_files(tmp_path):
    with pytest.raises(ValueError, match=r"^the plan, role 0, segment 1: a segment is \(duration, axis, rate\), "
                                         r"not 2 values$"):
        velmora.Plan(name="P", roles=[[(1, "x", 1), (1, "x")]])
    with pytest.raises(TypeError, match=r"^the plan, role 1: a role is a list of"):
        velmora.Plan(name="P", roles=[[(1, "x", 1)], "x"])
    with pytest.raises(TypeError, match=r"^the plan, role 0, segment 0: a object is no number"):
        velmora.Plan(name="P", roles=[[(1, object(), 1)]])
    with pytest.raises(ValueError, match=r"^the plan, role 0, segment 0: duration is not a finite number$"):
        velmora.Plan(name="P", roles=[[(math.inf, "x", 1)]])
    # A value that is finite only at some parameters is refused at the others, as velmora-sim plan does.
    tilted = velmora.Plan(name="Tilted", roles=[[("1/(tilt-pi/4)", "x", 1)]])
    with pytest.raises(ValueError) as raised:
        tilted.table(tilt=45)
    assert str(raised.value) == plan_file_message(tmp_path, as_file("Tilted", [[("1/(tilt-pi/4)", "x", 1)]]),
                                                  "--tilt=45")
    assert tilted.table(tilt=60)["end"][0] == pytest.approx(12 / math.pi)
    # A batch at those parameters is refused before any trial runs, in the same words.
    with pytest.raises(ValueError) as flown:
        velmora.batch(algorithm=tilted, tilt=45, trials=5)
    assert str(flown.value) == str(raised.value)
    with pytest.raises(ValueError, match=r'^fov: "90" is not an angle of a cone'):
        tilted.table(fov=90)
    with pytest.raises(ValueError, match=r"^cannot read plan file .*missing.plan.json\": No such file"):
        velmora.Plan.load(tmp_path / "missing.plan.json")
    # A save that cannot finish says so, in the words of the file it could not write.
    for target in (tmp_path / "no folder" / "p.plan.json", "/dev/full"):
        with pytest.raises(OSError, match=str(target)):
            tilted.save(target)
    target = tmp_path / "kept.plan.json"
    target.write_text("old")
    tilted.save(target)
    assert velmora.Plan.load(str(target)) == tilted
