"""The README's Python examples and every docstring's worked example give what they show."""

import doctest
import os
import re
import sys

import pytest

import shindo
import shindo._files
import shindo._inputs
import shindo._ground_motion
import shindo._intensity

SOURCE = os.environ["SHINDO_SOURCE_DIR"]


def run(test):
    out = []
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    runner.run(test, out=out.append)
    return runner.summarize(verbose=False), "".join(out)


def test_the_readme_section_from_python_shows_what_it_gives(monkeypatch):
    with open(os.path.join(SOURCE, "README.md"), encoding="utf-8") as readme:
        text = readme.read()
    section = re.search(r"^## From Python\n(.*?)^## ", text, re.S | re.M).group(1)
    blocks = re.findall(r"^```python\n(.*?)^```", section, re.S | re.M)
    assert len(blocks) >= 8
    try:
        import pandas  # noqa: F401
    except ImportError:  # the DataFrame's examples need pandas
        blocks = [block for block in blocks if "batch_frame" not in block]
    monkeypatch.chdir(SOURCE)  # the examples read examples/sample.txt
    test = doctest.DocTestParser().get_doctest("\n".join(blocks), {}, "README From Python", "README.md", 0)
    (failed, attempted), report = run(test)
    assert attempted > 20 and failed == 0, report


def test_the_readme_section_on_ground_motion_values_shows_what_python_gives():
    with open(os.path.join(SOURCE, "README.md"), encoding="utf-8") as readme:
        section = re.search(r"^## Ground-motion values\n(.*?)^## ", readme.read(), re.S | re.M).group(1)
    blocks = re.findall(r"^```python\n(.*?)^```", section, re.S | re.M)
    test = doctest.DocTestParser().get_doctest("\n".join(blocks), {}, "README Ground-motion values", "README.md", 0)
    (failed, attempted), report = run(test)
    assert attempted >= 5 and failed == 0, report


@pytest.mark.parametrize("module", [shindo, shindo._intensity, shindo._inputs, shindo._files, shindo._ground_motion], ids=lambda m: m.__name__)
def test_every_docstring_example_gives_what_it_shows(module, monkeypatch):
    monkeypatch.chdir(SOURCE)  # the examples read examples/sample.txt
    tests = doctest.DocTestFinder().find(module)
    if module is shindo._files and "pandas" not in sys.modules:
        try:
            import pandas  # noqa: F401
        except ImportError:  # batch_frame's example needs pandas
            tests = [test for test in tests if not test.name.endswith("batch_frame")]
    results = [run(test) for test in tests]
    assert sum(failed for (failed, _), _ in results) == 0, "".join(report for _, report in results)


def test_every_public_function_has_a_worked_example():
    for name in shindo.__all__:
        item = getattr(shindo, name)
        if callable(item) and item.__module__.startswith(("shindo._intensity", "shindo._files", "shindo._ground_motion")) and not name == "Running":
            assert ">>> " in (item.__doc__ or ""), name
