#!/usr/bin/env python3
"""on_terminal.py PROMPT KEYS COMMAND...: runs COMMAND on a pseudo-terminal of
its own, as a console patcher runs in a terminal window, and types KEYS once
PROMPT has shown in its output and the terminal reads keys one by one (Wine's
console takes Enter as "\r" only then). Writes all it wrote to standard
output and exits with its exit code; a program that writes nothing for 120
seconds is killed (exit 124)."""

import os
import pty
import select
import signal
import sys
import termios

prompt, keys = os.fsencode(sys.argv[1]), os.fsencode(sys.argv[2])
pid, terminal = pty.fork()
if pid == 0:
    os.execvp(sys.argv[3], sys.argv[3:])


def reads_keys():
    return not termios.tcgetattr(terminal)[3] & termios.ICANON


seen = b""
typed = False
waited = 0.0
while True:
    # Once the prompt shows, the terminal's mode is looked at between reads.
    step = 0.1 if prompt in seen and not typed else 120
    ready, _, _ = select.select([terminal], [], [], step)
    if not typed and prompt in seen and reads_keys():
        os.write(terminal, keys)
        typed = True
    waited = 0.0 if ready else waited + step
    if waited >= 120:
        os.kill(pid, signal.SIGKILL)
        os.waitpid(pid, 0)
        sys.stdout.buffer.write(seen)
        sys.exit(124)
    if not ready:
        continue
    try:
        data = os.read(terminal, 4096)
    except OSError:  # the program ended: the terminal is gone
        break
    if not data:
        break
    seen += data
sys.stdout.buffer.write(seen)
sys.exit(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]))
