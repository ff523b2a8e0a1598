#!/bin/bash
# Runs inside the Wine rig (tests/rig/wine_test.sh --script): the console
# companion's "schedule export" under Wine, its output read back by Python's
# XML parser as schtasks or group policy would read the file.
set -euo pipefail
XML="$WINEPREFIX/task.xml"
"$WINE_LOADER" "$WINE_BUILD_DIR/LanchuanTimeSyncCli.exe" schedule export --every 60 \
  --threshold 50 'http://a/?x=1&y=2' >"$XML"
# The same task written to a file as the Task Scheduler exports one.
"$WINE_LOADER" "$WINE_BUILD_DIR/LanchuanTimeSyncCli.exe" schedule export --every 60 \
  --threshold 50 --out 'C:\task16.xml' 'http://a/?x=1&y=2' >/dev/null
python3 - "$XML" "$WINEPREFIX/drive_c/task16.xml" <<'PY'
import sys
printed = open(sys.argv[1], encoding="utf-8").read()
data = open(sys.argv[2], "rb").read()
assert data.startswith(b"\xff\xfe"), data[:8]
text = data[2:].decode("utf-16-le")
assert text.startswith('<?xml version="1.0" encoding="UTF-16"?>'), text[:60]
assert text.replace('encoding="UTF-16"', 'encoding="UTF-8"', 1) == printed
print("task file: UTF-16 LE with a byte-order mark, the printed task otherwise")
PY

python3 - "$XML" <<'PY'
import re
import sys
import xml.etree.ElementTree as ET

NS = "http://schemas.microsoft.com/windows/2004/02/mit/task"
T = {"t": NS}
task = ET.parse(sys.argv[1]).getroot()  # raises unless well-formed


def text(path):
    return task.findtext(path, namespaces=T)


def minutes(duration):
    m = re.fullmatch(r"P(?:(\d+)D)?(?:T(?:(\d+)H)?(?:(\d+)M)?)?", duration or "")
    assert m, duration
    d, h, mi = (int(g or 0) for g in m.groups())
    return d * 1440 + h * 60 + mi


assert task.tag == "{%s}Task" % NS, task.tag
assert task.get("version") == "1.2", task.attrib
trigger = task.find("t:Triggers/t:LogonTrigger", T)
assert trigger is not None, "no logon trigger"
# The trigger's children form a sequence in the schema: the order matters.
names = [child.tag.split("}")[1] for child in trigger]
assert names == ["Enabled", "Repetition", "Delay"], names
assert minutes(text("t:Triggers/t:LogonTrigger/t:Repetition/t:Interval")) == 60
assert text("t:Principals/t:Principal/t:RunLevel") == "HighestAvailable"
assert text("t:Principals/t:Principal/t:LogonType") == "InteractiveToken"
principal = task.find("t:Principals/t:Principal", T).get("id")
assert task.find("t:Actions", T).get("Context") == principal
assert text("t:Settings/t:StartWhenAvailable") == "true"
assert text("t:Settings/t:DisallowStartIfOnBatteries") == "false"
assert 0 < minutes(text("t:Settings/t:ExecutionTimeLimit")) <= 10
command = text("t:Actions/t:Exec/t:Command")
assert command.endswith("\\LanchuanTimeSyncCli.exe"), command
arguments = text("t:Actions/t:Exec/t:Arguments")
assert arguments == "sync --precise --threshold 50 --no-proxy http://a/?x=1&y=2", arguments
print("task XML as expected:", command, arguments)
PY
