"""scripts/check-layers on small trees: each case plants one include and expects the checker to
name it, or to stay quiet where the include is a sound one."""

import os
import subprocess
import sys
import tempfile
import unittest

CHECKER = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "check-layers")

# A tree with every layer: a computation and windows in one analysis folder, declared as the real
# folders declare them.
BASE = {
    "core/numbers.h": "#include <string>\n",
    "plot/xy_plot.h": "#include <QWidget>\n#include \"core/numbers.h\"\n",
    "analysis/window/plot_window.h": "#include <QMainWindow>\n#include \"plot/xy_plot.h\"\n",
    "analysis/orbit/common/CMakeLists.txt": "kalvora_add_computation(kalvora_orbit_common\n"
    "  orbit_counts.cpp)  # the counts\n",
    "analysis/orbit/common/orbit_counts.h": "#include \"core/numbers.h\"\n",
    "analysis/orbit/phase/CMakeLists.txt": "kalvora_add_analysis(phase\n"
    "  COMPUTATION phase_run.cpp\n  USES kalvora_orbit_common\n  WINDOWS tphase.cpp)\n",
    "analysis/orbit/phase/phase_run.h": "#include \"analysis/orbit/common/orbit_counts.h\"\n",
    "analysis/orbit/phase/phase_run.cpp": "#include \"analysis/orbit/phase/phase_run.h\"\n",
    "analysis/orbit/phase/phase_types.h": "#include <vector>\n",
    "analysis/orbit/phase/tphase.h": "#include \"analysis/window/plot_window.h\"\n",
    "analysis/orbit/phase/tphase.cpp": "#include \"analysis/orbit/phase/tphase.h\"\n",
    "app/main_window.h": "#include \"analysis/orbit/phase/tphase.h\"\n",
    "cli/cli_common.h": "#include \"analysis/orbit/phase/phase_run.h\"\n",
    "tests/app/main_window_test.cpp": "#include \"app/main_window.h\"\n",
}

# (file, include line added to it, what the report must contain; None: no report at all)
CASES = [
    ("core/numbers.h", "#include <QString>", "the core uses no toolkit"),
    ("core/numbers.h", "#include \"plot/xy_plot.h\"", "the core includes only the core"),
    ("plot/xy_plot.h", "#include \"analysis/window/plot_window.h\"", "plot/ and core/"),
    ("analysis/window/plot_window.h", "#include \"analysis/orbit/phase/phase_run.h\"",
     "knows no single analysis"),
    ("analysis/orbit/phase/tphase.h", "#include \"app/main_window.h\"", "only app/ includes app/"),
    ("app/main_window.h", "#include \"cli/cli_common.h\"", "only cli/ includes cli/"),
    ("analysis/orbit/phase/phase_run.cpp", "#include <QWidget>", "phase_run.cpp -> QWidget"),
    # Through a header of its own folder and through a window header of another.
    ("analysis/orbit/phase/phase_run.h", "#include \"analysis/orbit/phase/tphase.h\"",
     "phase_run.h -> analysis/orbit/phase/tphase.h"),
    ("analysis/orbit/common/orbit_counts.h", "#include \"analysis/window/plot_window.h\"",
     "orbit_counts.h -> analysis/window/plot_window.h"),
    ("analysis/orbit/phase/phase_types.h", "#include <QColor>",
     "phase_run.h -> analysis/orbit/phase/phase_types.h -> QColor"),
    # Sound includes: a header-only computation header, windows on a computation, tests.
    ("analysis/orbit/phase/phase_run.h", "#include \"analysis/orbit/phase/phase_types.h\"", None),
    ("analysis/orbit/phase/tphase.cpp", "#include \"analysis/orbit/phase/phase_run.h\"", None),
    ("tests/app/main_window_test.cpp", "#include \"cli/cli_common.h\"", None),
]


class CheckLayersTest(unittest.TestCase):
    def run_checker(self, changes):
        with tempfile.TemporaryDirectory() as root:
            for path, text in {**BASE, **changes}.items():
                os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
                with open(os.path.join(root, path), "w", encoding="utf-8") as file:
                    file.write(text)
            return subprocess.run([sys.executable, CHECKER, root], capture_output=True,
                                  text=True, check=False)

    def test_the_sound_tree_passes(self):
        result = self.run_checker({})
        self.assertEqual((result.returncode, result.stdout), (0, ""))

    def test_each_planted_include(self):
        for path, line, expected in CASES:
            with self.subTest(path=path, line=line):
                changes = {path: BASE[path] + line + "\n"}
                if path == "analysis/orbit/phase/phase_types.h":
                    # Reached only through a computation header that includes it.
                    changes["analysis/orbit/phase/phase_run.h"] = (
                        BASE["analysis/orbit/phase/phase_run.h"]
                        + "#include \"analysis/orbit/phase/phase_types.h\"\n")
                result = self.run_checker(changes)
                if expected is None:
                    self.assertEqual((result.returncode, result.stdout), (0, ""))
                else:
                    self.assertEqual(result.returncode, 1, result.stdout)
                    self.assertIn(expected, result.stdout)


if __name__ == "__main__":
    unittest.main()
