#!/usr/bin/env python3
"""A small AT modem on Linux pseudo-terminals, reached from Wine as numbered COM ports.

start: opens one pseudo-terminal per --port, leaves one responder process per terminal running
in the background that answers each command line by its text, then links
<prefix>/dosdevices/comN to the terminal's far end for every number given with it. --null N
links comN to /dev/null (a device that takes no serial configuration); --absent N makes sure
comN does not exist.
stop: ends the responders that start left (by the process ids it wrote, checked against the
process table) and removes the links.

Each responder holds its terminal's far end open so that data stays queued while no test
program has the port open, and ends by itself after --lifetime seconds.
"""
import argparse
import os
import select
import signal
import sys
import time
import tty

LONG_REPLY = b"".join(b"%04d," % i for i in range(300))  # 1500 bytes
HUGE_REPLY = b"".join(b"%05d," % i for i in range(500))  # 3000 bytes
SLOW_REPLY_DELAY = 0.4  # seconds: later than the port's 200 ms pause


def answer(line, name):
    """The reply to one command line (its "\\r\\n" included), or None for silence."""
    command = line.rstrip(b"\r\n")
    if command == b"":
        return None
    if command == b"AT":
        return b"\r\nOK\r\n"
    if command == b"AT+SILENT":
        return None
    if command == b"AT+ONE":
        return b"K"
    if command == b"AT+TWO":
        return b"OK"
    if command == b"AT+NUL":
        return b"\r\n\0A\0\0B\r\n\0OK\r\n"
    if command == b"AT+LONG":
        return LONG_REPLY
    if command == b"AT+HUGE":
        return HUGE_REPLY
    if command == b"AT+SLOW":
        time.sleep(SLOW_REPLY_DELAY)
        return b"\r\nSLOW\r\n"
    if command == b"AT+WHO":
        return b"\r\n" + name + b"\r\n"
    if command.startswith(b"AT+ECHO="):
        return line
    return b"\r\nERROR\r\n"


def link_path(prefix, number):
    return os.path.join(prefix, "dosdevices", "com%d" % number)


def remove_link(path):
    try:
        os.unlink(path)
    except FileNotFoundError:
        pass


def read_lines(path):
    try:
        with open(path) as f:
            return [line.strip() for line in f if line.strip()]
    except FileNotFoundError:
        return []


def ready_path(state, name):
    return os.path.join(state, "ready-%s" % name)


def is_our_responder(pid, state):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            args = f.read().split(b"\0")
    except OSError:
        return False
    return b"serve" in args and os.fsencode(state) in args


def stop(state):
    pid_file = os.path.join(state, "pid")
    pids = [int(p) for p in read_lines(pid_file)]
    for pid in pids:
        if is_our_responder(pid, state):
            os.kill(pid, signal.SIGTERM)
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline and any(is_our_responder(pid, state) for pid in pids):
        time.sleep(0.05)
    for pid in pids:
        if is_our_responder(pid, state):
            os.kill(pid, signal.SIGKILL)
    for path in read_lines(os.path.join(state, "links")):
        remove_link(path)
    for name in os.listdir(state) if os.path.isdir(state) else []:
        if name in ("pid", "links") or name.startswith("ready-"):
            remove_link(os.path.join(state, name))


def serve(state, master, slave_path, name, links, lifetime):
    """Runs in a background process of its own: answers until SIGTERM or the end of its lifetime."""
    stopping = []
    signal.signal(signal.SIGTERM, lambda *_: stopping.append(True))
    # Opened as the controlling terminal of this process's own session: a terminal belongs to one
    # session only, so the Wine server, which opens the device for the test program, cannot take
    # it as its own and get a hang-up when this process ends. Holding it open also keeps data
    # queued while no test program has the port open.
    slave = os.open(slave_path, os.O_RDWR)
    with open(ready_path(state, name), "w") as f:
        f.write("%d\n" % os.getpid())
    pending = b""
    deadline = time.monotonic() + lifetime
    try:
        while not stopping and time.monotonic() < deadline:
            try:
                ready, _, _ = select.select([master], [], [], 0.2)
            except InterruptedError:
                continue
            if not ready:
                continue
            try:
                pending += os.read(master, 4096)
            except OSError:
                time.sleep(0.05)
                continue
            while b"\n" in pending:
                line, pending = pending.split(b"\n", 1)
                reply = answer(line + b"\n", name.encode())
                if reply is not None:
                    os.write(master, reply)
    finally:
        for path in links:
            remove_link(path)
        os.close(slave)
        os.close(master)


def spawn(state, lifetime, master, slave_path, name, links):
    """Starts one responder for one terminal, detached from the test driver; returns its pid."""
    pid = os.fork()
    if pid == 0:
        try:
            # A session of its own, and none of the test driver's pipes, so the driver does
            # not wait for it.
            os.setsid()
            log = os.open(os.path.join(state, "responder-%s.log" % name), os.O_WRONLY | os.O_CREAT | os.O_TRUNC,
                          0o644)
            null = os.open(os.devnull, os.O_RDONLY)
            os.dup2(null, 0)
            os.dup2(log, 1)
            os.dup2(log, 2)
            os.set_inheritable(master, True)
            # Named in the process table so that stop can tell it from an unrelated process.
            os.execv(sys.executable, [sys.executable, os.path.abspath(__file__), "serve", state, str(lifetime),
                                      name, str(master), slave_path] + links)
        finally:
            os._exit(1)
    return pid


def start(args):
    os.makedirs(args.state, exist_ok=True)
    stop(args.state)  # whatever an interrupted run left behind
    dosdevices = os.path.join(args.prefix, "dosdevices")
    if not os.path.isdir(dosdevices):
        sys.exit("no Wine prefix at %s" % args.prefix)
    for number in args.absent:
        remove_link(link_path(args.prefix, number))

    terminals, all_links = [], []
    for port_spec in args.port:
        numbers = [int(n) for n in port_spec.split(",")]
        master, slave = os.openpty()  # the far end is opened without becoming our terminal
        tty.setraw(slave)
        slave_path = os.ttyname(slave)
        os.close(slave)
        links = [link_path(args.prefix, number) for number in numbers]
        terminals.append((master, slave_path, "COM%d" % numbers[0], links))
        all_links += links
    null_links = [link_path(args.prefix, number) for number in args.null]
    all_links += null_links
    # Written first, so that stop finds every link even if a step below fails.
    with open(os.path.join(args.state, "links"), "w") as f:
        f.write("".join(path + "\n" for path in all_links))

    pids = []
    for master, slave_path, name, links in terminals:
        pids.append(spawn(args.state, args.lifetime, master, slave_path, name, links))
        os.close(master)
        with open(os.path.join(args.state, "pid"), "w") as f:
            f.write("".join("%d\n" % pid for pid in pids))
    # The links go up only once each responder holds its terminal.
    deadline = time.monotonic() + 10
    while not all(os.path.exists(ready_path(args.state, t[2])) for t in terminals):
        if time.monotonic() > deadline:
            stop(args.state)
            sys.exit("the AT responders did not come up")
        time.sleep(0.02)
    for master, slave_path, name, links in terminals:
        for path in links:
            remove_link(path)
            os.symlink(slave_path, path)
    for path in null_links:
        remove_link(path)
        os.symlink("/dev/null", path)
    print("AT responders %s on %s" % (" ".join(map(str, pids)), ", ".join(all_links)))


def serve_main(argv):
    state, lifetime, name, master, slave_path = argv[:5]
    serve(state, int(master), slave_path, name, argv[5:], float(lifetime))


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "serve":
        serve_main(sys.argv[2:])
        return
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("action", choices=["start", "stop"])
    parser.add_argument("--state", required=True, help="folder for the process id, link list and log")
    parser.add_argument("--prefix", help="the Wine prefix")
    parser.add_argument("--port", action="append", default=[],
                        help="COM numbers sharing one pseudo-terminal, comma separated; the first names it")
    parser.add_argument("--null", type=int, action="append", default=[])
    parser.add_argument("--absent", type=int, action="append", default=[])
    parser.add_argument("--lifetime", type=float, default=1200)
    args = parser.parse_args()
    if args.action == "start":
        if not args.prefix:
            parser.error("start needs --prefix")
        start(args)
    else:
        stop(args.state)


if __name__ == "__main__":
    main()
