"""K-NET records written the way the network writes its files, for the tests and the batch benchmark."""

import tarfile
from pathlib import Path

import numpy as np

SCALE = (3920, 6182761)  # gal per count: 3920 / 6182761

HEADER = {
    "Origin Time": "2024/01/01 16:10:00",
    "Lat.": "37.495",
    "Long.": "137.270",
    "Depth. (km)": "16",
    "Mag.": "7.6",
    "Station Code": "BNC001",
    "Station Lat.": "37.5266",
    "Station Long.": "137.2844",
    "Station Height(m)": "10",
    "Record Time": "2024/01/01 16:10:15",
    "Sampling Freq(Hz)": "100Hz",
    "Last Correction": "2024/01/01 16:09:59",
}


def shaking_counts(samples, seed, peak=400000):
    """Three components of a decaying shaking in counts, with offsets: int64 arrays."""
    rng = np.random.default_rng(seed)
    t = np.arange(samples) * 0.01
    envelope = np.minimum(t / 5.0, np.exp(-(t - 5.0) / 10.0))
    out = []
    for c, offset in enumerate((-1200, 800, 300)):
        f1, f2 = rng.uniform(0.5, 6.0, 2)
        wave = np.sin(2 * np.pi * f1 * t) + 0.4 * np.sin(2 * np.pi * f2 * t + c)
        out.append(np.round(peak * rng.uniform(0.3, 1.0) * envelope * wave).astype(np.int64) + offset)
    return out


def peak_gal(counts):
    """The header's Max. Acc.: the peak of the acceleration with the mean removed."""
    mean = float(np.sum(counts)) / len(counts)
    return float(np.max(np.abs((counts.astype(np.float64) - mean) * SCALE[0] / SCALE[1])))


def write_record(stem, counts, header=None, peaks=None):
    """Writes STEM.NS, STEM.EW, STEM.UD from three count arrays (a whole number of seconds each);
    `header` overrides HEADER's values, `peaks` the Max. Acc. texts."""
    values = dict(HEADER, **(header or {}))
    frequency = int(values["Sampling Freq(Hz)"].removesuffix("Hz"))
    for c, (letters, direction) in enumerate((("NS", "N-S"), ("EW", "E-W"), ("UD", "U-D"))):
        component = counts[c]
        assert len(component) % frequency == 0, "a whole number of seconds"
        lines = [(label, values[label]) for label in ("Origin Time", "Lat.", "Long.", "Depth. (km)", "Mag.",
                                                      "Station Code", "Station Lat.", "Station Long.",
                                                      "Station Height(m)", "Record Time", "Sampling Freq(Hz)")]
        lines += [("Duration Time(s)", str(len(component) // frequency)), ("Dir.", direction),
                  ("Scale Factor", f"{SCALE[0]}(gal)/{SCALE[1]}"),
                  ("Max. Acc. (gal)", peaks[c] if peaks else "%.3f" % peak_gal(component)),
                  ("Last Correction", values["Last Correction"]), ("Memo.", "")]
        text = "".join(label.ljust(18) + value + "\n" for label, value in lines)
        for i in range(0, len(component), 8):
            text += "".join("%9d" % k for k in component[i:i + 8]) + " \n"
        Path(f"{stem}.{letters}").write_text(text)


def archive(path, folder):
    """FOLDER's files as a .tar.gz at PATH, members in name order."""
    with tarfile.open(path, "w:gz") as out:
        for file in sorted(Path(folder).iterdir()):
            out.add(file, arcname=file.name)
