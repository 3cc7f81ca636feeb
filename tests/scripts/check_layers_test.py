"""The layer check over small generated trees: a sound tree passes, and each
rule fires on the one include that breaks it."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

SCRIPT = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "check-layers.py"

# Headers every generated tree holds, so that includes resolve as in the real one.
HEADERS = [
    "src/core/Outcome.h",
    "src/chips/ChipRecord.h",
    "src/buffers/BufferSet.h",
    "src/buffers/ui/TForm4.h",
    "src/chips/ui/TForm2.h",
    "src/hexview/HexView.h",
    "src/ops/RunBatch.h",
    "src/production/GangRun.h",
    "src/app/TForm1.h",
    "src/cli/CommandLine.h",
    "src/station/StationService.h",
    "sim/include/belcor_sim.h",
    "sim/model/Simulator.h",
    "tests/support/RecordingHost.h",
]

# Includes the rules allow: each file with the lines it holds.
SOUND = {
    "src/chips/ChipList.cpp": '#include "core/Outcome.h"\n#include <sys/types.h>\n#include <nlohmann/json.hpp>\n',
    "src/buffers/BufferCommands.cpp": '#include "BufferSet.h"\n#include "../chips/ChipRecord.h"\n',
    "src/maint/SimulatorLibrary.h": '#include "belcor_sim.h"\n',
    "src/chips/ui/TForm3.cpp": '#include "chips/ui/TForm2.h"\n#include "ops/RunBatch.h"\n#include "hexview/HexView.h"\n',
    "src/app/TForm1.cpp": '#include "buffers/ui/TForm4.h"\n#include "production/GangRun.h"\n#include <hexview/HexView.h>\n',
    "src/cli/main.cpp": '#include "production/GangRun.h"\n#include "CommandLine.h"\n',
    "src/station/main.cpp": '#include "production/GangRun.h"\n#include "station/StationService.h"\n',
    "sim/frontend/UsbEntryPoints.cpp": '#include "belcor_sim.h"\n#include "model/Simulator.h"\n#include "../model/Simulator.h"\n',
}

# (name, file, its one line, the fault printed)
BROKEN = [
    ("LowerIncludesHigher", "src/chips/ChipList.cpp", '#include "ops/RunBatch.h"', "chips includes ops"),
    ("CoreIncludesItsWidgets", "src/buffers/BufferCommands.cpp", '#include "buffers/ui/TForm4.h"',
     "buffers includes buffers/ui"),
    ("CoreIncludesItsWidgetsRelatively", "src/buffers/BufferCommands.cpp", '#include "ui/TForm4.h"',
     "buffers includes buffers/ui"),
    ("WidgetsIncludeOtherWidgets", "src/chips/ui/TForm3.cpp", '#include "buffers/ui/TForm4.h"',
     "chips/ui includes buffers/ui"),
    ("WidgetsIncludeTheWindow", "src/chips/ui/TForm3.cpp", '#include "app/TForm1.h"', "chips/ui includes app"),
    ("CommandLineIncludesWidgets", "src/cli/main.cpp", '#include "chips/ui/TForm2.h"', "cli includes chips/ui"),
    ("CommandLineIncludesHexView", "src/cli/main.cpp", '#include "hexview/HexView.h"', "cli includes hexview"),
    ("StationIncludesCommandLine", "src/station/main.cpp", '#include "cli/CommandLine.h"', "station includes cli"),
    ("WindowIncludesStation", "src/app/TForm1.cpp", '#include "station/StationService.h"', "app includes station"),
    ("AngleBrackets", "src/core/Workbench.cpp", "#include <ops/RunBatch.h>", "core includes ops"),
    ("ClimbsUp", "src/core/Workbench.cpp", '#include "../ops/RunBatch.h"', "core includes ops"),
    ("ClimbsOutOfSrc", "src/cli/main.cpp", '#include "../../tests/support/RecordingHost.h"',
     "src includes tests/support/RecordingHost.h"),
    ("ClimbsToNothing", "src/ops/RunBatch.cpp", '#include "../app/Missing.h"', "ops includes app"),
    ("ApplicationIncludesSimulatorModel", "src/maint/SimulatorLibrary.h", '#include "model/Simulator.h"',
     "src includes the simulator's own sim/model/Simulator.h"),
    ("SimulatorIncludesApplication", "sim/model/Programmer.cpp", '#include "core/Outcome.h"',
     "sim includes src/core/Outcome.h"),
    ("SimulatorIncludesApplicationByAngle", "sim/model/Programmer.cpp", "#include <ops/RunBatch.h>",
     "sim includes src/ops/RunBatch.h"),
    ("SimulatorClimbsIntoApplication", "sim/frontend/UsbBus.cpp", '#include "../../src/core/Outcome.h"',
     "sim includes src/core/Outcome.h"),
    ("UnknownFolder", "src/extra/Thing.cpp", '#include "core/Outcome.h"', "folder 'extra' has no place in the layers"),
]


def check(files):
    with tempfile.TemporaryDirectory() as folder:
        root = pathlib.Path(folder)
        for name in HEADERS:
            (root / name).parent.mkdir(parents=True, exist_ok=True)
            (root / name).touch()
        for name, text in files.items():
            (root / name).parent.mkdir(parents=True, exist_ok=True)
            (root / name).write_text(text, encoding="utf-8")
        run = subprocess.run([sys.executable, str(SCRIPT), str(root)], capture_output=True, text=True)
        return run.returncode, run.stdout


class LayerCheck(unittest.TestCase):
    def test_sound_tree_passes(self):
        self.assertEqual(check(SOUND), (0, ""))

    def test_each_rule_fires(self):
        for name, path, line, fault in BROKEN:
            with self.subTest(name):
                code, output = check({**SOUND, path: line + "\n"})
                self.assertEqual(code, 1)
                self.assertEqual(output, f"{path}: {fault}\n")


if __name__ == "__main__":
    unittest.main()
