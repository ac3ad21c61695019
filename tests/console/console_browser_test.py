#!/usr/bin/python3
"""The rig console in a real browser: uploader-cli serve on loopback, driven
by headless Chromium through Debian's python3-selenium.

  console_browser_test.py UPLOADER_CLI [DOCS_FOLDER]

Checks the page: a file chosen shows its size and SHA-256, four simulated
lines advance and end DONE with the virtual devices' verdict, a second page
sees the same lines, a stop mid-way shows where each line stopped, a HEX
file is refused in words. Checks the API's gates: no token, a foreign Host,
a cross-origin POST, an oversized body. With UPLOADER_SCREENSHOTS=1 it
takes the pictures of docs/console.md (a 16-line upload, and its end) into
DOCS_FOLDER, whose report.schema.json checks the report of an upload.
Exits 77 (skipped) with the reason when Chromium or Selenium is missing.
"""
import ctypes
import hashlib
import http.client
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77
DEADLINE_S = 240  # the whole test; CTest's own timeout is longer


def skip(why):
    print("skipped: " + why)
    sys.exit(SKIP)


try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
except ImportError:
    skip("python3-selenium is not installed (apt-get install python3-selenium)")

CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"
CHROMEDRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"
if not os.path.exists(CHROMIUM) or not os.path.exists(CHROMEDRIVER):
    skip("chromium and chromium-driver are not installed (apt-get install chromium chromium-driver)")


def die_with_parent():
    # The child ends when this test ends, however it ends (a timeout's SIGKILL too).
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


class Serve:
    """uploader-cli serve on a free loopback port, ended whatever happens."""

    def __init__(self, cli, folder):
        self.out = open(os.path.join(folder, "serve.err"), "w+")
        # The service records in the test's own folder.
        env = dict(os.environ, XDG_DATA_HOME=os.path.join(folder, "data"))
        self.proc = subprocess.Popen([cli, "serve", "--listen", "127.0.0.1:0"], stdout=subprocess.PIPE,
                                     stderr=self.out, text=True, preexec_fn=die_with_parent, env=env)
        first = self.proc.stdout.readline().strip()
        if not first.startswith("console: http://127.0.0.1:"):
            raise AssertionError("serve's first line is not the address: %r" % first)
        self.url = first[len("console: "):]
        self.token = self.url.split("?token=")[1]
        self.port = int(self.url.split(":")[2].split("/")[0])
        self.base = "http://127.0.0.1:%d" % self.port

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                return self.proc.wait(20)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
                return None
        return self.proc.returncode


def request(serve, method, path, headers=None, body=None):
    conn = http.client.HTTPConnection("127.0.0.1", serve.port, timeout=10)
    conn.request(method, path, body=body, headers=headers or {})
    res = conn.getresponse()
    data = res.read()
    conn.close()
    return res.status, data


def multipart(fields):
    boundary = "----console-test-boundary"
    parts = []
    for name, value, filename in fields:
        head = 'Content-Disposition: form-data; name="%s"' % name
        if filename:
            head += '; filename="%s"\r\nContent-Type: application/octet-stream' % filename
        parts.append(b"--" + boundary.encode() + b"\r\n" + head.encode() + b"\r\n\r\n" + value + b"\r\n")
    body = b"".join(parts) + b"--" + boundary.encode() + b"--\r\n"
    return body, "multipart/form-data; boundary=" + boundary


failures = []


def check(what, ok, detail=""):
    print(("ok   " if ok else "FAIL ") + what + ("" if ok else ": " + str(detail)))
    if not ok:
        failures.append(what)


def check_gates(serve, image):
    bearer = {"Authorization": "Bearer " + serve.token}
    status, _ = request(serve, "GET", "/api/adapters")
    check("no token: 401", status == 401, status)
    status, _ = request(serve, "GET", "/api/adapters", {"Authorization": "Bearer " + "0" * 64})
    check("a wrong token: 401", status == 401, status)
    status, _ = request(serve, "GET", "/api/adapters", bearer)
    check("the token: 200", status == 200, status)
    status, _ = request(serve, "GET", "/api/uploads", dict(bearer, Host="rebound.example:%d" % serve.port))
    check("a Host of another name (DNS rebinding): 403", status == 403, status)
    status, _ = request(serve, "GET", "/api/uploads", dict(bearer, Host="localhost:%d" % serve.port))
    check("Host localhost: 200", status == 200, status)
    body, kind = multipart([("image", image, "fw.bin"), ("adapter", b"sim:9", None)])
    status, data = request(serve, "POST", "/api/uploads",
                           dict(bearer, Origin="http://evil.example", **{"Content-Type": kind}), body)
    check("a cross-origin POST: 403", status == 403, (status, data))
    status, _ = request(serve, "POST", "/api/uploads/1/stop",
                        dict(bearer, Origin="http://evil.example", **{"Content-Length": "0"}))
    check("a cross-origin stop: 403", status == 403, status)
    # An oversized body is refused from its headers: nothing of it is sent here.
    with socket.create_connection(("127.0.0.1", serve.port), timeout=10) as s:
        s.sendall(("POST /api/uploads HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nAuthorization: Bearer %s\r\n"
                   "Content-Type: multipart/form-data; boundary=x\r\nContent-Length: 50000000\r\n\r\n"
                   % (serve.port, serve.token)).encode())
        answer = s.recv(4096).decode(errors="replace")
    check("an oversized body, refused before it is sent: 413", answer.startswith("HTTP/1.1 413"), answer[:80])
    body, kind = multipart([("image", b"\x01" * 70000, "big.bin"), ("adapter", b"sim:9", None)])
    status, _ = request(serve, "POST", "/api/uploads", dict(bearer, **{"Content-Type": kind}), body)
    check("an image over 65535 bytes in a body under the cap: 413", status == 413, status)
    for path, rows in (("/api/history", "uploads"), ("/api/inventory", "fixtures")):
        status, data = request(serve, "GET", path, bearer)
        check(path + " before any upload: 200, none", status == 200 and json.loads(data)[rows] == [],
              (status, data))
    status, _ = request(serve, "GET", "/api/nothing/../../etc/passwd", bearer)
    check("no file served by a path: 404", status == 404, status)


def read_events(serve, seconds, last_id=None):
    """The events of /api/events for `seconds`: (id, type, data, arrival)."""
    headers = {"Authorization": "Bearer " + serve.token}
    if last_id is not None:
        headers["Last-Event-ID"] = str(last_id)
    conn = http.client.HTTPConnection("127.0.0.1", serve.port, timeout=2)
    conn.request("GET", "/api/events", headers=headers)
    res = conn.getresponse()
    events, current, end = [], {}, time.time() + seconds
    try:
        while time.time() < end:
            line = res.readline().decode().rstrip("\n")
            if line.startswith("id: "):
                current["id"] = int(line[4:])
            elif line.startswith("event: "):
                current["type"] = line[7:]
            elif line.startswith("data: "):
                current["data"] = json.loads(line[6:])
            elif line == "" and current:
                events.append((current["id"], current["type"], current["data"], time.time()))
                current = {}
    except (socket.timeout, TimeoutError):
        pass
    conn.close()
    return events


def report_format(schema):
    """The report layout's version, as its schema gives it."""
    if not schema:
        return 3
    with open(schema) as f:
        return json.load(f)["properties"]["format"]["const"]


def check_events(serve, folder, schema):
    """Progress at most 10 times a second a line; a reconnection replays; the report."""
    bearer = {"Authorization": "Bearer " + serve.token}
    image = bytes((i * 5 + 1) % 256 for i in range(700))
    body, kind = multipart([("image", image, "events.bin"), ("adapter", b"sim:2", None),
                            ("fast", b"1", None)])
    status, data = request(serve, "POST", "/api/uploads", dict(bearer, **{"Content-Type": kind}), body)
    check("an upload through the API: 202", status == 202, (status, data))
    upload = json.loads(data)["id"]
    body, kind = multipart([("image", image, "again.bin"), ("adapter", b"sim:2", None)])
    status, data = request(serve, "POST", "/api/uploads", dict(bearer, **{"Content-Type": kind}), body)
    check("a line already uploading: 409 naming the upload that has it",
          status == 409 and b"already uploading (upload %d)" % upload in data, (status, data))
    for fields, words in [([("profile", b"v9", None)], b"unknown profile"),
                          ([("read_back", b"1", None)], b"read_back: the simulated adapter has no RDM"),
                          ([("address", b"0", None)], b"--address takes 1 to 512"),
                          ([("colour", b"red", None)], b"unknown field")]:
        body, kind = multipart([("image", image, "x.bin"), ("adapter", b"sim:7", None)] + fields)
        status, data = request(serve, "POST", "/api/uploads", dict(bearer, **{"Content-Type": kind}), body)
        check("bad input refused with 400 and the reason: %s" % words.decode(),
              status == 400 and words in data, (status, data))
    events = read_events(serve, 8, last_id=0)
    mine = [e for e in events if e[2].get("upload") == upload]
    worst = 0
    for line in (0, 1):
        times = [e[3] for e in mine if e[1] == "progress" and e[2]["line"] == line]
        for i, t in enumerate(times):
            worst = max(worst, sum(1 for u in times[i:] if u - t < 1.0))
    check("progress at most 10 times a second a line", 0 < worst <= 11, worst)
    ends = [e for e in mine if e[1] == "result"]
    check("each line's result in the stream", len(ends) == 2 and all(e[2]["result"] == "done" for e in ends),
          ends)
    middle = mine[len(mine) // 2][0]
    again = read_events(serve, 1, last_id=middle)
    check("a reconnection with Last-Event-ID gets every event after it",
          [e[0] for e in again][:5] == [e[0] for e in events if e[0] > middle][:5], (middle, again[:2]))
    # On a loaded machine the upload may outlast the reading: its end, before the lines are reused.
    end = time.time() + 60
    while True:
        status, data = request(serve, "GET", "/api/uploads/%d" % upload, bearer)
        report = json.loads(data)
        if report.get("exitStatus") is not None or time.time() > end:
            break
        time.sleep(0.2)
    check("the upload's report: the --json fields, ended done",
          status == 200 and report["exitStatus"] == 0 and report["format"] == report_format(schema) and
          [u["result"] for u in report["uploads"]] == ["done", "done"] and
          report["sha256"] == hashlib.sha256(image).hexdigest(), report)
    if schema:
        try:
            import jsonschema
            with open(schema) as f:
                jsonschema.validate(report, json.load(f))
            check("the upload's report validates against the --json report's schema", True)
        except ImportError:
            print("note: python3-jsonschema missing; the report is not validated")
        except Exception as e:
            check("the upload's report validates against the --json report's schema", False, e)


def rows(driver, run):
    # One round trip for the whole table: the rows change while they are read.
    cells = driver.execute_script(
        "return Array.from(document.querySelectorAll('#run-' + arguments[0] + ' tbody tr'))"
        ".map((tr) => Array.from(tr.cells).map((td) => td.textContent));", run)
    out = []
    for c in cells:
        done, total = [int(x) for x in c[3].split(" / ")]
        out.append({"label": c[0], "state": c[1], "bytes": done, "total": total, "reason": c[5]})
    return out


def wait_for(what, test, timeout):
    end = time.time() + timeout
    last = None
    while time.time() < end:
        try:
            last = test()
            if last:
                return last
        except AssertionError:
            raise
        except Exception as e:  # the page is being redrawn
            last = e
        time.sleep(0.05)
    raise AssertionError("%s: not seen within %d s (last: %r)" % (what, timeout, last))


def start_upload(driver, path, lines, fast=True):
    driver.find_element(By.ID, "image").send_keys(path)
    field = driver.find_element(By.ID, "adapters")
    field.clear()
    field.send_keys(lines)
    box = driver.find_element(By.ID, "fast")
    if box.is_selected() != fast:
        box.click()
    driver.find_element(By.ID, "start-button").click()


def newest_run(driver, after, refusal=lambda: ""):
    def found():
        if refusal():
            raise AssertionError("the upload was refused: " + refusal())
        ids = [int(e.get_attribute("id")[4:]) for e in driver.find_elements(By.CSS_SELECTOR, ".run")]
        ids = [i for i in ids if i > after]
        return max(ids) if ids else None
    return wait_for("a new upload on the page", found, 10)


def check_page(driver, serve, folder, screenshots):
    driver.get(serve.url)
    check("the token in the address becomes a cookie and leaves the address",
          driver.current_url == serve.base + "/", driver.current_url)
    wait_for("the page listening", lambda: driver.find_element(By.ID, "link").text == "live", 10)

    image = bytes((i * 37 + 11) % 256 for i in range(300))
    path = os.path.join(folder, "fw.bin")
    with open(path, "wb") as f:
        f.write(image)
    start_upload(driver, path, "sim:4")
    info = driver.find_element(By.ID, "image-info").text
    check("the chosen file's size and SHA-256 are shown",
          "300 bytes" in info and hashlib.sha256(image).hexdigest() in info, info)
    run = newest_run(driver, 0, lambda: driver.find_element(By.ID, "refusal").text)
    seen = wait_for("four rows", lambda: len(rows(driver, run)) == 4 and rows(driver, run), 10)
    check("a row per line", [r["label"] for r in seen] == ["sim:1", "sim:2", "sim:3", "sim:4"], seen)
    wait_for("rows advancing", lambda: any(0 < r["bytes"] < r["total"] for r in rows(driver, run)), 20)

    # A second page sees the same lines.
    first = driver.current_window_handle
    driver.switch_to.new_window("tab")
    driver.get(serve.base + "/")
    other = wait_for("the second page's rows", lambda: len(rows(driver, run)) == 4 and rows(driver, run), 10)
    check("a second page shows the same lines", [r["label"] for r in other] == [r["label"] for r in seen], other)
    driver.close()
    driver.switch_to.window(first)

    ended = wait_for("every line DONE", lambda: all(r["state"] == "DONE" for r in rows(driver, run))
                     and rows(driver, run), 40)
    check("every line ends DONE, verified by the virtual device",
          all(r["bytes"] == 300 and "verified by the virtual device" in r["reason"] for r in ended), ended)

    # A stop mid-way: each line says where it stopped.
    long_path = os.path.join(folder, "long.bin")
    with open(long_path, "wb") as f:
        f.write(bytes((i * 13) % 256 for i in range(6000)))
    start_upload(driver, long_path, "sim:4")
    run2 = newest_run(driver, run)
    wait_for("the second upload under way", lambda: all(r["bytes"] > 0 for r in rows(driver, run2))
             and len(rows(driver, run2)) == 4, 30)
    driver.find_element(By.CSS_SELECTOR, "#run-%d button.stop" % run2).click()
    stopped = wait_for("every line STOPPED", lambda: all(r["state"] == "STOPPED" for r in rows(driver, run2))
                       and rows(driver, run2), 20)
    where = all(r["reason"] == "interrupted at byte %d of 6000" % r["bytes"] and 0 < r["bytes"] < 6000
                for r in stopped)
    check("a stop mid-way shows the byte each line stopped at", where, stopped)

    # A HEX file is refused in words next to the form.
    hex_path = os.path.join(folder, "fw.hex")
    with open(hex_path, "w") as f:
        f.write(":10000000000102030405060708090A0B0C0D0E0F78\n:00000001FF\n")
    start_upload(driver, hex_path, "sim:4")
    refusal = wait_for("the refusal", lambda: driver.find_element(By.ID, "refusal").text, 10)
    check("a HEX file is refused in words", "looks like an Intel HEX file" in refusal and "objcopy" in refusal,
          refusal)

    status, data = request(serve, "GET", "/api/history?limit=100", {"Authorization": "Bearer " + serve.token})
    kept = json.loads(data)["uploads"] if status == 200 else []
    check("the console's uploads are in the service records, each line's result",
          sum(1 for u in kept if u["image"]["name"] == "fw.bin" and u["result"] == "done") == 4 and
          sum(1 for u in kept if u["image"]["name"] == "long.bin" and u["result"] == "stopped") == 4,
          [(u["image"]["name"], u["result"]) for u in kept])
    pane = wait_for("the records pane", lambda: "long.bin" in driver.find_element(By.ID, "records").text
                    and driver.find_element(By.ID, "records").text, 10)
    check("the records pane lists the latest uploads", "Latest uploads" in pane and "fw.bin" in pane, pane)
    errors = [e["message"] for e in driver.get_log("browser")
              if e["level"] == "SEVERE" and e["source"] == "javascript"]
    check("the page's script raised no error", not errors, errors)

    if screenshots:
        driver.set_window_size(1280, 1180)
        shot = os.path.join(folder, "shot.bin")
        with open(shot, "wb") as f:
            f.write(bytes((i * 7 + 3) % 256 for i in range(3000)))
        driver.execute_script("window.scrollTo(0, 0)")
        start_upload(driver, shot, "sim:16")
        run3 = newest_run(driver, run2)
        wait_for("16 lines under way", lambda: len(rows(driver, run3)) == 16 and
                 all(r["bytes"] > 900 for r in rows(driver, run3)), 60)
        driver.save_screenshot(os.path.join(screenshots, "console-upload.png"))
        wait_for("16 lines DONE", lambda: all(r["state"] == "DONE" for r in rows(driver, run3))
                 and len(rows(driver, run3)) == 16, 60)
        time.sleep(0.3)
        driver.save_screenshot(os.path.join(screenshots, "console-done.png"))
        print("screenshots in " + screenshots)


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 64
    cli = sys.argv[1]
    docs = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else None
    screenshots = docs if os.environ.get("UPLOADER_SCREENSHOTS") == "1" else None
    folder = tempfile.mkdtemp(prefix="uploader-console-test-")
    serve = None
    driver = None

    def give_up():
        print("FAIL the test ran out of time")
        if serve:
            serve.proc.kill()
        if driver:
            try:
                driver.quit()
            except Exception:
                pass
        os._exit(1)

    watchdog = threading.Timer(DEADLINE_S, give_up)
    watchdog.daemon = True
    watchdog.start()
    try:
        serve = Serve(cli, folder)
        check_gates(serve, bytes(range(256)))
        check_events(serve, folder, os.path.join(docs, "report.schema.json") if docs else None)
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for arg in ["--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1280,900",
                    "--user-data-dir=" + os.path.join(folder, "chromium")]:
            options.add_argument(arg)
        service = Service(CHROMEDRIVER, popen_kw={"preexec_fn": die_with_parent})
        driver = webdriver.Chrome(service=service, options=options)
        check_page(driver, serve, folder, screenshots)
    except AssertionError as e:
        check(str(e), False, "")
    finally:
        if driver:
            driver.quit()
        if serve:
            status = serve.stop()
            check("serve ends with 130 on SIGTERM", status == 130, status)
            if failures:
                serve.out.seek(0)
                print("serve's standard error:\n" + serve.out.read())
        watchdog.cancel()
        shutil.rmtree(folder, ignore_errors=True)
    print("%d failed" % len(failures) if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
