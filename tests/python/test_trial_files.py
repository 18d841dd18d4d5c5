"""velmora.read_trials and velmora.merge against the trial files and summaries of velmora-sim."""

import json
import os
import subprocess
import sys

import pytest

import velmora

SIM = os.environ["VELMORA_SIM"]
SOURCE = os.environ["VELMORA_SOURCE_DIR"]
SIMPLE_PLAN = os.path.join(SOURCE, "plans", "simple.plan.json")


def sim(*args):
    return subprocess.run([SIM, *map(str, args)], capture_output=True, text=True)


def sim_ok(*args):
    done = sim(*args)
    assert done.returncode == 0, done.stderr
    return done.stdout


def sim_refusal(*args):
    done = sim(*args)
    assert done.returncode == 2, done.stdout
    return done.stderr.strip().removeprefix("velmora-sim: ")


@pytest.mark.parametrize("extension", ["jsonl", "csv"])
def test_a_batch_s_trial_file_reads_back_as_its_table(tmp_path, extension):
    # 12.5 s at most: some formations do not initialize, and CSV writes the times to two decimals.
    options = {"algorithm": "HalfTwist", "count": 8, "fov": 25, "seed": 7, "first_trial": 100, "trials": 300,
               "duration": 12.5}
    path = tmp_path / f"t.{extension}"
    sim_ok("batch", *[f"--{k.replace('_', '-')}={v}" for k, v in options.items()], f"--trials-out={path}")
    table = velmora.read_trials(path)
    expected = velmora.batch(**options)["perTrial"]
    assert 0 < table["initialized"].sum() < 300
    assert table.equals(expected)
    assert list(table.dtypes) == list(expected.dtypes)


def test_a_sweep_with_a_plan_file_reads_back_cell_by_cell(tmp_path):
    path = tmp_path / "s.csv"
    sim_ok("sweep", f"--algorithm=Orlo,{SIMPLE_PLAN}", "--fov=20,40", "--count=4", "--trials=50",
           f"--trials-out={path}")
    table = velmora.read_trials(str(path))
    expected = velmora.sweep(algorithm=["Orlo", velmora.Plan.load(SIMPLE_PLAN)], fov=[20, 40], count=4,
                             trials=50)["perTrial"]
    assert table.equals(expected)
    assert set(table["plan"].dropna()) == {velmora.Plan.load(SIMPLE_PLAN).sha256}


def test_a_bad_row_is_refused_with_the_line_velmora_sim_gives(tmp_path):
    path = tmp_path / "t.jsonl"
    sim_ok("batch", "--trials=20", "--duration=5", f"--trials-out={path}")
    rows = path.read_text().splitlines()
    row = json.loads(rows[6])
    row["seedState"] += 1
    rows[6] = json.dumps(row, separators=(",", ":"))
    path.write_text("\n".join(rows) + "\n")
    with pytest.raises(ValueError) as raised:
        velmora.read_trials(path)
    assert "line 7" in str(raised.value)
    assert str(raised.value) == sim_refusal("merge", path)
    (tmp_path / "t.txt").write_text("")
    for bad in ("t.txt", "none.csv"):
        with pytest.raises(ValueError) as raised:
            velmora.read_trials(tmp_path / bad)
        assert str(raised.value) == sim_refusal("merge", tmp_path / bad)
    with pytest.raises(TypeError, match="^read_trials\\(\\) got an unexpected keyword argument 'paths' "
                                        "\\(did you mean 'path'\\?\\)$"):
        velmora.read_trials(paths=[path])


def without_command(doc):
    return {k: v for k, v in doc.items() if k != "command"}


@pytest.mark.parametrize("command, options", [
    ("batch", ["--count=5", "--trials=90", "--seed=3", "--duration=9"]),
    ("sweep", [f"--algorithm=HalfTwist,{SIMPLE_PLAN}", "--fov=30,50", "--trials=40"]),
])
def test_merge_equals_velmora_sim_merge(tmp_path, command, options):
    shards = []
    for i in range(3):
        shards.append(tmp_path / f"shard{i}.{'csv' if i == 1 else 'jsonl'}")
        sim_ok(command, *options, f"--shard={i}/3", f"--trials-out={shards[i]}")
    expected = json.loads(sim_ok("merge", *shards, "--json"))
    merged = velmora.merge(list(reversed(shards)))
    assert merged["command"] == sys.argv
    assert without_command(merged) == without_command(expected)
    # A shard missing is named as velmora-sim names it.
    with pytest.raises(ValueError) as raised:
        velmora.merge([str(shards[0]), shards[2]])
    assert str(raised.value) == sim_refusal("merge", shards[0], shards[2])
