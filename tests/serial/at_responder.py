#!/usr/bin/env python3
"""A small AT modem on Linux pseudo-terminals, reached from Wine as numbered COM ports.

start STATE PREFIX LIFETIME PORTS...: per "N[,N...]" a detached responder linking PREFIX/dosdevices/comN
to its own terminal and answering command lines by their text for at most LIFETIME seconds; "null=N"
links comN to /dev/null, "absent=N" removes comN. stop STATE: ends them and removes the links."""
import os, select, subprocess, sys, termios, time, tty  # noqa: E401

LONG_REPLY = bytes(32 + i % 95 for i in range(3500))  # printable, more than both read limits together
REPLIES = {b"AT+ONE": b"K", b"AT+TWO": b"OK", b"AT+LONG": LONG_REPLY, b"AT+SILENT": b""}
SPEEDS = {getattr(termios, "B%d" % b): b for b in (9600, 19200, 38400, 57600, 115200, 230400)}
SIZES = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}


def answer(line, name, terminal):
    """The reply to one command line, "\\r\\n" included."""
    command = line.rstrip(b"\r\n")
    if command == b"AT+SLOW":
        time.sleep(0.4)  # later than the port's 200 ms pause
        return b"\r\nSLOW\r\n"
    if command == b"AT+WHO":  # the terminal's settings as the port left them, such as "115200 8N1"
        _, _, cflag, _, _, speed, _ = termios.tcgetattr(terminal)
        parity = "N" if not cflag & termios.PARENB else "O" if cflag & termios.PARODD else "E"
        bits = "%d%s%d" % (SIZES[cflag & termios.CSIZE], parity, 2 if cflag & termios.CSTOPB else 1)
        return b"\r\n%s %s %s\r\n" % (name, str(SPEEDS.get(speed, "?")).encode(), bits.encode())
    return line if command.startswith(b"AT+ECHO=") else REPLIES.get(command, b"\r\nERROR\r\n")


def remove(*paths):
    for path in filter(os.path.lexists, paths):
        os.unlink(path)


def serve(state, name, master, slave_path, lifetime, *links):
    """Answers until stop or the end of its lifetime."""
    # The controlling terminal of this session, so the Wine server cannot take it as its own (and
    # get a hang-up when we end); held open, it also keeps data queued while no program has the port.
    slave, master = os.open(slave_path, os.O_RDWR), int(master)
    for path in links:
        os.symlink(slave_path, path)
    ready, pending, deadline = os.path.join(state, "ready-" + name), b"", time.monotonic() + float(lifetime)
    open(ready, "w").close()
    while time.monotonic() < deadline and not os.path.exists(os.path.join(state, "stop")):
        if select.select([master], [], [], 0.1)[0]:
            pending += os.read(master, 4096)
        while b"\n" in pending:
            line, pending = pending.split(b"\n", 1)
            os.write(master, answer(line + b"\n", name.encode(), slave))
    remove(ready, *links)


def marks(state):
    return [os.path.join(state, n) for n in os.listdir(state) if n.startswith("ready-")]


def stop(state):
    """Asks every responder to end, waits up to 5 s for them, then removes whatever is left."""
    os.makedirs(state, exist_ok=True)
    open(os.path.join(state, "stop"), "w").close()
    deadline = time.monotonic() + 5
    while marks(state) and time.monotonic() < deadline:
        time.sleep(0.05)
    links = os.path.join(state, "links")
    remove(*(open(links).read().split() if os.path.exists(links) else []), *marks(state), os.path.join(state, "stop"))


def start(state, prefix, lifetime, *groups):
    stop(state)  # whatever an interrupted run left behind
    links = {group: [os.path.join(prefix, "dosdevices", "com" + n) for n in group.split("=")[-1].split(",")]
             for group in groups}
    with open(os.path.join(state, "links"), "w") as f:  # first, so that stop finds every link
        f.write("\n".join(sum(links.values(), [])))
    remove(*sum(links.values(), []))  # the absent ones stay so
    for path in sum([links[group] for group in groups if group.startswith("null=")], []):
        os.symlink("/dev/null", path)
    ports = [group for group in groups if "=" not in group]
    for group in ports:
        master, slave = os.openpty()
        tty.setraw(slave)
        name = "COM" + group.split(",")[0]
        with open(os.path.join(state, name + ".log"), "wb") as log:  # detached: own session, no pipes
            subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", state, name, str(master),
                              os.ttyname(slave), lifetime] + links[group], stdin=subprocess.DEVNULL, stdout=log,
                             stderr=log, pass_fds=(master,), start_new_session=True)
        os.close(master)
        os.close(slave)
    deadline = time.monotonic() + 10
    while len(marks(state)) < len(ports):
        if time.monotonic() > deadline:
            stop(state)
            sys.exit("the AT responders did not come up")
        time.sleep(0.02)


if __name__ == "__main__":
    {"serve": serve, "stop": stop, "start": start}[sys.argv[1]](*sys.argv[2:])
