# Sourced by the browser checks. run_in_chromium PAGE SECONDS [COMMAND...]
# serves the current directory on a free port of 127.0.0.1, opens PAGE in
# headless Chromium and waits up to SECONDS for the page to POST its result to
# /result, which it writes to browser-result.txt. With a COMMAND, Chromium
# also speaks its DevTools protocol on the FIFOs browser-cdp-in and
# browser-cdp-out, and COMMAND runs while the page is open (for what only the
# browser can see, such as what is on the screen). Chromium's output goes to
# browser.log. Returns 1 if no result came in time or COMMAND failed.

run_in_chromium() {
    local page=$1 seconds=$2 status=0
    shift 2
    cat > browser-server.py <<'PY'
import http.server
class Handler(http.server.SimpleHTTPRequestHandler):
    def do_POST(self):
        with open("browser-result.txt", "wb") as f:
            f.write(self.rfile.read(int(self.headers["Content-Length"])))
        self.send_response(204)
        self.end_headers()
    def log_message(self, *args):
        pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
open("browser-port.txt", "w").write(str(server.server_address[1]))
server.serve_forever()
PY
    rm -f browser-result.txt browser-port.txt browser-cdp-in browser-cdp-out
    /usr/bin/python3 browser-server.py & chromium_page_server=$!
    chromium_page_profile=$(mktemp -d)
    trap chromium_page_cleanup EXIT
    for _ in $(seq 50); do [ -s browser-port.txt ] && break; sleep 0.1; done
    local url="http://127.0.0.1:$(cat browser-port.txt)/$page"
    local flags=(--headless --no-sandbox --disable-gpu --disable-quic --no-first-run
        --disable-background-networking --disable-component-update --disable-sync
        --user-data-dir="$chromium_page_profile")
    if [ $# -gt 0 ]; then
        mkfifo browser-cdp-in browser-cdp-out
        chromium "${flags[@]}" --remote-debugging-pipe "$url" \
            3<browser-cdp-in 4>browser-cdp-out > browser.log 2>&1 & chromium_page_browser=$!
        "$@" || status=1
    else
        chromium "${flags[@]}" "$url" > browser.log 2>&1 & chromium_page_browser=$!
    fi
    for _ in $(seq $((seconds * 2))); do [ -s browser-result.txt ] && break; sleep 0.5; done
    chromium_page_cleanup
    [ -s browser-result.txt ] && [ $status -eq 0 ]
}

chromium_page_cleanup() {
    local pids=(${chromium_page_server:-} ${chromium_page_browser:-})
    if [ ${#pids[@]} -gt 0 ]; then
        kill "${pids[@]}" 2>/dev/null || true
        wait "${pids[@]}" 2>/dev/null || true
    fi
    # Chromium's helpers may still be writing to the profile for a moment.
    if [ -n "${chromium_page_profile:-}" ]; then
        for _ in $(seq 20); do rm -rf "$chromium_page_profile" 2>/dev/null && break; sleep 0.2; done
    fi
    rm -f browser-cdp-in browser-cdp-out
    chromium_page_server= chromium_page_browser= chromium_page_profile=
}
