#!/usr/bin/env bash
# A local HTTPS server on 127.0.0.1 with a self-signed certificate made for
# the run, for the update check's tests.
#   start DIR: serves DIR/www and the answers below, writes DIR/env
#   stop DIR:  stops it
# Files written into DIR/www are served as they are (".json" as
# application/json, a missing one is a real 404). Besides:
#   /status/500  a 500 answer
#   /slow        a document, but only after 8 s (past the 5 s receive limit)
#   /big         a 200 answer of 70000 bytes (past the 64 KiB cap)
#   /cut         a 200 whose Content-Length promises 1000 bytes; a complete,
#                current document is sent and the connection closed
set -euo pipefail
cmd=$1 dir=$2
if [ "$cmd" = stop ]; then
  [ -f "$dir/https.pid" ] && kill "$(cat "$dir/https.pid")" 2>/dev/null || true
  rm -f "$dir/https.pid"
  exit 0
fi
mkdir -p "$dir/www" "$dir/log"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost \
  -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" \
  -keyout "$dir/key.pem" -out "$dir/cert.pem" 2>>"$dir/log/https.log"
cat > "$dir/https_server.py" <<'PY'
import http.server, os, ssl, sys, time

root, cert, key, port_file = sys.argv[1:5]
current = b'{"version": "' + sys.argv[5].encode() + b'"}'

class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=root, **kwargs)

    def setup(self):
        # The handshake on this connection's own thread: a client that stalls
        # in it holds up no other.
        self.request.do_handshake()
        super().setup()

    def answer(self, body, length=None):
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body) if length is None else length))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        if self.path == "/status/500":
            self.send_error(500)
        elif self.path == "/slow":
            time.sleep(8)
            self.answer(current)
        elif self.path == "/big":
            self.answer(b'{"version": "9.9.9", "release_notes": "' + b"x" * 70000 + b'"}')
        elif self.path == "/cut":
            self.answer(current, length=1000)
            self.close_connection = True
        else:
            super().do_GET()

    def handle(self):
        try:
            super().handle()
        except (ConnectionError, ssl.SSLError, TimeoutError):
            pass  # the client gave up or refused our certificate: what some tests do

context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
with open(port_file + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(port_file + ".tmp", port_file)
server.serve_forever()
PY
rm -f "$dir/https.port"
# The version the program calls its own, for the answers that must look current.
version=$(sed -n 's/^project([^)]*VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")
( exec /usr/bin/python3 "$dir/https_server.py" "$dir/www" "$dir/cert.pem" "$dir/key.pem" "$dir/https.port" "$version" \
    >>"$dir/log/https.log" 2>&1 ) &
echo $! > "$dir/https.pid"
for _ in $(seq 100); do [ -f "$dir/https.port" ] && break; sleep 0.1; done
[ -f "$dir/https.port" ] || { echo "the HTTPS test server did not start; see $dir/log/https.log" >&2; exit 1; }
cat > "$dir/env" <<ENV
export SONAVELA_TEST_HTTPS_PORT=$(cat "$dir/https.port") SONAVELA_TEST_HTTPS_CA=$dir/cert.pem SONAVELA_TEST_HTTPS_ROOT=$dir/www
ENV
echo "[OK] HTTPS test server at https://127.0.0.1:$(cat "$dir/https.port")"
