#!/usr/bin/python3
"""The --json report against docs/report.schema.json: a good run, a failed
line, an interrupted run, a capture cut short by a full device, a
--read-back run and refusals before any upload. Each report must validate,
and say what the run did.

usage: report_schema_test.py UPLOADER_CLI READ_BACK_REPORT SCHEMA
"""
import json
import os
import resource
import signal
import subprocess
import sys
import tempfile
import time

try:
    import jsonschema
except ImportError:
    print("python3-jsonschema is not installed: skipped")
    sys.exit(77)

cli, read_back_report, schema_path = sys.argv[1:4]
schema = json.load(open(schema_path))
failures = []


def check(name, report, status, results):
    try:
        jsonschema.validate(report, schema)
    except jsonschema.ValidationError as e:
        failures.append(f"{name}: {e.message} at {list(e.absolute_path)}")
        return
    got = [u["result"] for u in report["uploads"]]
    if report["exitStatus"] != status or got != results:
        failures.append(f"{name}: exit {report['exitStatus']} {got}, wanted {status} {results}")


with tempfile.TemporaryDirectory(prefix="uploader-report-") as folder:
    os.environ["XDG_DATA_HOME"] = os.path.join(folder, "data")  # the runs' service records
    image = os.path.join(folder, "image.bin")
    with open(image, "wb") as f:
        f.write(bytes((i * 7 + 1) & 0xFF for i in range(300)))

    def run(name, args, status, results, limit=None):
        def small_files():  # files past `limit` bytes cannot grow: a disk that filled
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
        p = subprocess.run([cli, "upload", image, "--fast", "--json"] + args, cwd=folder,
                           capture_output=True, timeout=120,
                           preexec_fn=small_files if limit else None)
        if p.returncode != status:
            failures.append(f"{name}: exit {p.returncode}, wanted {status}: {p.stderr.decode()}")
        check(name, json.loads(p.stdout), status, results)

    run("good", ["--adapter", "sim:2", "--capture", "good.pcap"], 0, ["done", "done"])
    run("failed", ["--adapter", "sim:2", "--sim-fail", "write-after:20"], 1, ["failed", "failed"])
    run("capture cut short", ["--adapter", "sim:2", "--capture", "cut.pcap"], 74,
        ["done", "done"], limit=4096)
    # Refused before any upload: still one report, with why.
    with open(os.path.join(folder, "fw.hex"), "w") as f:
        f.write(":020000040000FA\n")
    for name, args, status in [("no image", [image + "-none"], 2),
                               ("hex image", [os.path.join(folder, "fw.hex")], 2),
                               ("no lines file", [image, "--lines", "none.txt"], 2),
                               ("unknown option", [image, "--bogus"], 64),
                               ("option that does nothing", [image, "--settle", "3"], 64),
                               ("no image named", [], 64)]:
        p = subprocess.run([cli, "upload"] + args + ["--json"], cwd=folder, capture_output=True,
                           timeout=60)
        report = json.loads(p.stdout or b"null")
        if p.returncode != status or not isinstance(report, dict) or not report.get("refusal"):
            failures.append(f"{name}: exit {p.returncode}, report {report}")
        else:
            check(name, report, status, [])

    # Interrupted: SIGTERM once the frames go out (the log is on standard error).
    with open(os.path.join(folder, "err"), "wb") as err:
        p = subprocess.Popen([cli, "upload", image, "--json", "--adapter", "sim:3"], cwd=folder,
                             stdout=subprocess.PIPE, stderr=err)
        try:
            for _ in range(1000):
                if b"Sending data" in open(os.path.join(folder, "err"), "rb").read():
                    break
                time.sleep(0.01)
            p.send_signal(signal.SIGTERM)
            out, _ = p.communicate(timeout=30)
        finally:
            p.kill()
    check("interrupted", json.loads(out), 130, ["stopped"] * 3)

    p = subprocess.run([read_back_report, image], capture_output=True, timeout=120)
    report = json.loads(p.stdout)
    check("read-back", report, 5, ["done"])
    if report.get("readBack") and [f["confirmed"] for f in report["readBack"][0]["fixtures"]] != [True, False]:
        failures.append(f"read-back: fixtures {report['readBack'][0]['fixtures']}")

    # A dry run: the plan of each line, nothing sent.
    p = subprocess.run([cli, "upload", image, "--json", "--dry-run", "--adapter", "sim:2"],
                       cwd=folder, capture_output=True, timeout=60)
    report = json.loads(p.stdout or b"null")
    check("dry run", report, 0, [])
    if not report or [l["line"] for l in (report.get("plan") or {}).get("lines", [])] != ["sim:1", "sim:2"]:
        failures.append(f"dry run: plan {report and report.get('plan')}")

for f in failures:
    print("FAILED", f)
print("reports checked:", 9, "failures:", len(failures))
sys.exit(1 if failures else 0)
