#!/usr/bin/env python3
"""A small AT modem on Linux pseudo-terminals, reached from Wine as numbered COM ports.

start: one background responder per --port (comma-separated numbers sharing one terminal), each
answering command lines by their text, and <prefix>/dosdevices/comN links to the terminals;
--null N links comN to /dev/null, --absent N removes comN. stop: ends the responders and links.
"""
import argparse
import os
import select
import signal
import subprocess
import sys
import termios
import time
import tty

LONG_REPLY = b"".join(b"%04d," % i for i in range(300))  # 1500 bytes
HUGE_REPLY = b"".join(b"%05d," % i for i in range(500))  # 3000 bytes
REPLIES = {b"AT": b"\r\nOK\r\n", b"AT+ONE": b"K", b"AT+TWO": b"OK", b"AT+LONG": LONG_REPLY, b"AT+HUGE": HUGE_REPLY,
           b"AT+SILENT": None, b"": None}
SPEEDS = {getattr(termios, "B%d" % b): b for b in (9600, 19200, 38400, 57600, 115200, 230400) if hasattr(termios, "B%d" % b)}
SIZES = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}


def line_settings(terminal):
    """The terminal's settings as a port sets them, such as "115200 8N1"."""
    _, _, cflag, _, _, ospeed, _ = termios.tcgetattr(terminal)
    parity = "N" if not cflag & termios.PARENB else "O" if cflag & termios.PARODD else "E"
    stop = 2 if cflag & termios.CSTOPB else 1
    return ("%s %d%s%d" % (SPEEDS.get(ospeed, "?"), SIZES[cflag & termios.CSIZE], parity, stop)).encode()


def answer(line, name, terminal):
    """The reply to one command line ("\\r\\n" included), or None for silence."""
    command = line.rstrip(b"\r\n")
    if command == b"AT+SLOW":
        time.sleep(0.4)  # later than the port's 200 ms pause
        return b"\r\nSLOW\r\n"
    if command == b"AT+WHO":
        return b"\r\n" + name + b" " + line_settings(terminal) + b"\r\n"
    if command.startswith(b"AT+ECHO="):
        return line
    return REPLIES.get(command, b"\r\nERROR\r\n")


def link_path(prefix, number):
    return os.path.join(prefix, "dosdevices", "com%d" % number)


def remove(path):
    if os.path.lexists(path):
        os.unlink(path)


def read_lines(path):
    return [line for line in open(path).read().splitlines() if line.strip()] if os.path.exists(path) else []


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
    pids = [int(p) for p in read_lines(os.path.join(state, "pid"))]
    for sig, wait in ((signal.SIGTERM, 5), (signal.SIGKILL, 0)):
        for pid in pids:
            if is_our_responder(pid, state):
                os.kill(pid, sig)
        deadline = time.monotonic() + wait
        while time.monotonic() < deadline and any(is_our_responder(pid, state) for pid in pids):
            time.sleep(0.05)
    for path in read_lines(os.path.join(state, "links")):
        remove(path)
    for name in os.listdir(state) if os.path.isdir(state) else []:
        if name in ("pid", "links") or name.startswith("ready-"):
            remove(os.path.join(state, name))


def serve(state, master, slave_path, name, links, lifetime):
    """Answers until SIGTERM or the end of its lifetime."""
    stopping = []
    signal.signal(signal.SIGTERM, lambda *_: stopping.append(True))
    # The controlling terminal of this session, so the Wine server cannot take it as its own (and
    # get a hang-up when we end); held open, it also keeps data queued while no program has the port.
    slave = os.open(slave_path, os.O_RDWR)
    with open(ready_path(state, name), "w") as f:
        f.write("%d\n" % os.getpid())
    pending = b""
    deadline = time.monotonic() + lifetime
    try:
        while not stopping and time.monotonic() < deadline:
            try:
                if not select.select([master], [], [], 0.2)[0]:
                    continue
                pending += os.read(master, 4096)
            except InterruptedError:
                continue
            except OSError:
                time.sleep(0.05)
                continue
            while b"\n" in pending:
                line, pending = pending.split(b"\n", 1)
                reply = answer(line + b"\n", name.encode(), slave)
                if reply is not None:
                    os.write(master, reply)
    finally:
        for path in links:
            remove(path)
        os.close(slave)
        os.close(master)


def spawn(state, lifetime, master, slave_path, name, links):
    """One detached responder (own session, none of the driver's pipes); "serve" and the state
    folder in its command line let stop tell it from other processes."""
    with open(os.path.join(state, "responder-%s.log" % name), "wb") as log:
        return subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", state, str(lifetime), name,
                                 str(master), slave_path] + links, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                pass_fds=(master,), start_new_session=True).pid


def start(args):
    os.makedirs(args.state, exist_ok=True)
    stop(args.state)  # whatever an interrupted run left behind
    if not os.path.isdir(os.path.join(args.prefix, "dosdevices")):
        sys.exit("no Wine prefix at %s" % args.prefix)
    for number in args.absent:
        remove(link_path(args.prefix, number))
    terminals = []
    for port_spec in args.port:
        numbers = [int(n) for n in port_spec.split(",")]
        master, slave = os.openpty()
        tty.setraw(slave)
        terminals.append((master, os.ttyname(slave), "COM%d" % numbers[0], [link_path(args.prefix, n) for n in numbers]))
        os.close(slave)
    null_links = [link_path(args.prefix, number) for number in args.null]
    all_links = [path for t in terminals for path in t[3]] + null_links
    with open(os.path.join(args.state, "links"), "w") as f:  # first, so that stop finds every link
        f.write("".join(path + "\n" for path in all_links))
    pids = []
    for master, slave_path, name, links in terminals:
        pids.append(spawn(args.state, args.lifetime, master, slave_path, name, links))
        os.close(master)
        with open(os.path.join(args.state, "pid"), "w") as f:
            f.write("".join("%d\n" % pid for pid in pids))
    deadline = time.monotonic() + 10  # links go up once each responder holds its terminal
    while not all(os.path.exists(ready_path(args.state, t[2])) for t in terminals):
        if time.monotonic() > deadline:
            stop(args.state)
            sys.exit("the AT responders did not come up")
        time.sleep(0.02)
    for target, links in [(t[1], t[3]) for t in terminals] + [("/dev/null", null_links)]:
        for path in links:
            remove(path)
            os.symlink(target, path)
    print("AT responders %s on %s" % (" ".join(map(str, pids)), ", ".join(all_links)))


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "serve":
        state, lifetime, name, master, slave_path = sys.argv[2:7]
        return serve(state, int(master), slave_path, name, sys.argv[7:], float(lifetime))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("action", choices=["start", "stop"])
    parser.add_argument("--state", required=True, help="folder for the process ids, link list and logs")
    parser.add_argument("--prefix", help="the Wine prefix")
    parser.add_argument("--port", action="append", default=[], help="COM numbers sharing one terminal")
    parser.add_argument("--null", type=int, action="append", default=[])
    parser.add_argument("--absent", type=int, action="append", default=[])
    parser.add_argument("--lifetime", type=float, default=1200)
    args = parser.parse_args()
    if args.action == "stop":
        return stop(args.state)
    if not args.prefix:
        parser.error("start needs --prefix")
    start(args)


if __name__ == "__main__":
    main()
