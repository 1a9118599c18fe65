"""Samples what headless Chromium shows, through its DevTools protocol on the
FIFOs browser-cdp-in and browser-cdp-out (see run_in_chromium).

    chromium-screens.py START SECONDS X,Y [X,Y ...]

waits until the page defines the function START, calls it, then takes
screenshots for SECONDS and prints one line per screenshot: the milliseconds
since START returned, then the colour at each point as R,G,B. A page's own
canvas cannot do this: drawImage of an animated <img> does not follow the
frames shown on the screen.
"""
import base64, io, json, sys, time
from PIL import Image

start, seconds, points = sys.argv[1], float(sys.argv[2]), [tuple(map(int, p.split(","))) for p in sys.argv[3:]]
to_browser = open("browser-cdp-in", "wb", buffering=0)
from_browser = open("browser-cdp-out", "rb", buffering=0)
pending, last_id = b"", 0


def call(method, params=None, session=None):
    global pending, last_id
    last_id += 1
    msg = {"id": last_id, "method": method, "params": params or {}}
    if session:
        msg["sessionId"] = session
    to_browser.write(json.dumps(msg).encode() + b"\0")
    while True:
        while b"\0" not in pending:
            chunk = from_browser.read(1 << 20)
            if not chunk:
                sys.exit("Chromium closed its DevTools pipe")
            pending += chunk
        raw, pending = pending.split(b"\0", 1)
        reply = json.loads(raw)
        if reply.get("id") == last_id:
            if "error" in reply:
                raise RuntimeError(f"{method}: {reply['error']}")
            return reply["result"]


def evaluate(session, expression):
    r = call("Runtime.evaluate", {"expression": expression, "awaitPromise": True, "returnByValue": True}, session)
    if "exceptionDetails" in r:
        raise RuntimeError(f"{expression}: {r['exceptionDetails']}")
    return r["result"].get("value")


deadline = time.monotonic() + 30
session = None
while session is None or evaluate(session, f"typeof {start}") != "function":
    if time.monotonic() > deadline:
        sys.exit(f"The page did not define {start} within 30 s")
    time.sleep(0.05)
    if session is None:
        pages = [t for t in call("Target.getTargets")["targetInfos"] if t["type"] == "page" and t["url"].startswith("http")]
        if pages:
            session = call("Target.attachToTarget", {"targetId": pages[0]["targetId"], "flatten": True})["sessionId"]

x0, y0 = min(x for x, _ in points), min(y for _, y in points)
clip = {"x": x0, "y": y0, "width": max(x for x, _ in points) - x0 + 1,
        "height": max(y for _, y in points) - y0 + 1, "scale": 1}
evaluate(session, f"{start}()")
began = time.monotonic()
while (now := time.monotonic() - began) < seconds:
    shot = call("Page.captureScreenshot", {"format": "png", "clip": clip}, session)
    picture = Image.open(io.BytesIO(base64.b64decode(shot["data"]))).convert("RGB")
    colours = [picture.getpixel((x - x0, y - y0)) for x, y in points]
    print(round(now * 1000), *(",".join(map(str, c)) for c in colours), flush=True)
