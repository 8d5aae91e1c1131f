"""The README's Dask example: a folder of archives spread over a local cluster of two workers."""

import os
import re
import subprocess
import sys

import pytest

pytest.importorskip("pandas")
pytest.importorskip("dask.distributed")

import pandas as pd  # noqa: E402

import shindo  # noqa: E402
from knet_files import archive, shaking_counts, write_record  # noqa: E402

SOURCE = os.environ["SHINDO_SOURCE_DIR"]


def readme_dask_example():
    with open(os.path.join(SOURCE, "README.md"), encoding="utf-8") as readme:
        blocks = re.findall(r"^```python\n(.*?)^```", readme.read(), re.S | re.M)
    [example] = [block for block in blocks if "LocalCluster" in block]
    return example


def test_the_readme_example_gathers_every_archive_of_a_folder_into_one_frame(tmp_path):
    folder = tmp_path / "archives"
    folder.mkdir()
    for a in range(3):
        members = tmp_path / f"event{a}"
        members.mkdir()
        for k in range(2):
            write_record(members / f"E{a}S{k}2401011610", shaking_counts(1500, seed=10 * a + k),
                         {"Station Code": f"E{a}S{k}"})
        archive(folder / f"event{a}.tar.gz", members)
    (folder / "README.txt").write_text("archives of the event\n")  # no archive: not a task
    script = tmp_path / "dask_intensity.py"
    script.write_text(readme_dask_example())
    shown = subprocess.run([sys.executable, str(script), str(folder)], capture_output=True, text=True,
                           timeout=300, check=True).stdout
    expected = pd.concat([shindo.batch_frame(folder / f"event{a}.tar.gz") for a in range(3)], ignore_index=True)
    assert len(expected) == 6
    assert shown == expected[["record", "station", "intensity", "class", "error"]].to_string() + "\n"
