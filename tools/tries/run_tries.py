#!/usr/bin/env python3
"""Hostile and damaged input against a build of tolvanectl, as a new user would
try it: crafted profile and macro files, damaged user and data files, FIFOs in
place of files, exports to odd places, two processes on one virtual mouse,
killed macro saves, repeated imports, long macro names, a held device lock.

Every try runs the built program on virtual mice whose EEPROM image is a file,
checks what must stay unchanged (the image, the model's store, the macro
library, everything outside the user folder) and counts the outcomes. A try
whose outcome is not the sound one is counted under FAULT and the script exits
with status 1.

    tools/tries/run_tries.py [--build build/default] [--data data] [--seed N]
                             [--scale 0.2] [--lock-seconds 20]
"""

import argparse
import collections
import fcntl
import hashlib
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time

PROFILE_MAGIC = 0xFCAA1234
MACRO_MAGIC = 0xFACB99A0
PROFILE_SIZE = 2120
MACRO_SIZE = 834
EXPORT_SIZE = PROFILE_SIZE + 10 * MACRO_SIZE
STORE = "PRO_1001.dct"
BUSY = "tolvanectl: the device is busy: another program is using it\n"


class Run:
    def __init__(self, status, out, err, seconds):
        self.status, self.out, self.err, self.seconds = status, out, err, seconds

    def one_line(self):
        return self.err.count("\n") == 1 and self.err.endswith("\n")


class Tries:
    def __init__(self, args):
        self.ctl = os.path.abspath(os.path.join(args.build, "bin", "tolvanectl"))
        self.data = os.path.abspath(args.data)
        self.rng = random.Random(args.seed)
        self.scale = args.scale
        self.lock_seconds = args.lock_seconds
        self.root = tempfile.mkdtemp(prefix="tolvane-tries-")
        self.rows = []  # (try, count, outcomes)
        self.faults = 0

    # ---- running the program

    def run(self, words, user, data=None, image=None, timeout=30, stdin=None):
        cmd = [self.ctl, "--data-dir", data or self.data, "--user-dir", user]
        if image:
            cmd += ["--simulate", "pro:cid=10,mid=01,eeprom=" + image]
        start = time.monotonic()
        try:
            p = subprocess.run(cmd + words, capture_output=True, text=True, timeout=timeout,
                               stdin=stdin if stdin is not None else subprocess.DEVNULL,
                               errors="replace")
        except subprocess.TimeoutExpired:
            return Run("hang", "", "", timeout)
        status = p.returncode if p.returncode >= 0 else "signal %d" % -p.returncode
        return Run(status, p.stdout, p.stderr, time.monotonic() - start)

    def fresh(self, name):
        """A new folder with a user folder and an EEPROM image made by `show`."""
        base = os.path.join(self.root, name)
        shutil.rmtree(base, ignore_errors=True)
        os.makedirs(os.path.join(base, "user"))
        user, image = os.path.join(base, "user"), os.path.join(base, "m.bin")
        r = self.run(["show"], user, image=image)
        if r.status != 0:
            raise SystemExit("cannot start a virtual mouse: " + r.err)
        return base, user, image

    def n(self, count):
        return max(1, int(round(count * self.scale)))

    def record(self, name, outcomes, sound):
        """`outcomes` counts outcome texts; `sound` is the set of sound ones."""
        count = sum(outcomes.values())
        bad = sum(v for k, v in outcomes.items() if k not in sound)
        self.faults += bad
        text = ", ".join("%s %d" % (k, v) for k, v in sorted(outcomes.items()))
        self.rows.append((name, count, ("FAULT: " if bad else "") + text))

    # ---- what must stay unchanged

    @staticmethod
    def digest(path):
        if not os.path.exists(path):
            return None
        if os.path.isdir(path):
            h = hashlib.sha256()
            for folder, dirs, files in sorted(os.walk(path)):
                dirs.sort()
                for f in sorted(files):
                    p = os.path.join(folder, f)
                    h.update(os.path.relpath(p, path).encode())
                    if os.path.isfile(p) and not os.path.islink(p):
                        with open(p, "rb") as fh:
                            h.update(fh.read())
            return h.hexdigest()
        with open(path, "rb") as fh:
            return hashlib.sha256(fh.read()).hexdigest()

    def state(self, user, image):
        return (self.digest(image), self.digest(os.path.join(user, STORE)),
                self.digest(os.path.join(user, "Mac")))

    # ---- crafted files

    def random_qxa(self):
        b = bytearray(self.rng.getrandbits(8) for _ in range(EXPORT_SIZE))
        struct.pack_into("<II", b, 0, PROFILE_MAGIC, self.rng.randrange(1, 1 << 24))
        return bytes(b)

    def random_macro(self):
        b = bytearray(self.rng.getrandbits(8) for _ in range(MACRO_SIZE))
        struct.pack_into("<I", b, 0, MACRO_MAGIC)
        return bytes(b)

    @staticmethod
    def encode_macro(record):
        return bytes(((x >> 2) | (x << 6)) & 0xFF for x in record)

    def write(self, path, data):
        with open(path, "wb") as fh:
            fh.write(data)

    # ---- the tries

    def crafted_qxa(self):
        base, user, image = self.fresh("qxa")
        good = os.path.join(base, "good.qxa")
        r = self.run(["export", good], user, image=image)
        valid = collections.Counter()
        valid["valid export re-imports" if r.status == 0 and
              self.run(["import", good], user, image=image).status == 0 else "valid import failed"] += 1
        out = collections.Counter()
        for i in range(self.n(75)):
            f = os.path.join(base, "c%d.qxa" % i)
            kind = "random" if i % 3 == 0 else "mutated export"
            if i % 3 == 0:
                self.write(f, self.random_qxa())
            else:  # a valid export with a few fields made hostile
                b = bytearray(open(good, "rb").read())
                for _ in range(self.rng.randrange(1, 6)):
                    at = self.rng.randrange(8, PROFILE_SIZE - 4)
                    struct.pack_into("<I", b, at, self.rng.getrandbits(32))
                self.write(f, bytes(b))
            before = self.state(user, image)
            r = self.run(["import", f], user, image=image)
            after = self.state(user, image)
            if r.status == 0:
                # Accepted: a mutation that left a valid profile. What reached
                # the mouse must read back without complaint.
                ok = self.run(["show"], user, image=image).status == 0
                out[kind + ": accepted, reads back" if ok else kind + ": accepted, read fails"] += 1
            elif not isinstance(r.status, int):
                out[kind + ": " + str(r.status)] += 1
            else:
                out[kind + ": " + ("refused, unchanged" if before == after else "refused, CHANGED")] += 1
        self.record("crafted .qxa (valid export)", valid, {"valid export re-imports"})
        self.record("crafted .qxa", out, {"random: refused, unchanged",
                                          "mutated export: refused, unchanged",
                                          "mutated export: accepted, reads back"})

    def crafted_qxm(self):
        base, user, image = self.fresh("qxm")
        out = collections.Counter()
        for i in range(self.n(40)):
            f = os.path.join(base, "r%d.qxm" % i)
            self.write(f, self.encode_macro(self.random_macro()))
            out[self.attempt(["macro", "import", f], user, image, "accepted")] += 1
        self.record("random .qxm, macro import", out, {"refused, unchanged"})

        # The same files placed in the library by hand: listed, but no button
        # takes them.
        mac = os.path.join(user, "Mac")
        os.makedirs(mac, exist_ok=True)
        out = collections.Counter()
        for i in range(self.n(10)):
            name = "bad%d" % i
            record = bytearray(self.random_macro())
            record[20:100] = name.encode("utf-16-le").ljust(80, b"\0")  # the name the library finds
            self.write(os.path.join(mac, name + ".qxm"), self.encode_macro(bytes(record)))
            out[self.attempt(["set", "button", "4", "macro:" + name], user, image,
                             "put on a button", "damaged")] += 1
        self.record("damaged library macro on a button", out, {"refused, unchanged"})

    def attempt(self, words, user, image, accepted, reason=""):
        """Runs a command that should be refused; its outcome text."""
        before = self.state(user, image)
        r = self.run(words, user, image=image if words[0] != "macro" else None)
        after = self.state(user, image)
        if r.status == 0:
            return accepted
        if not isinstance(r.status, int):
            return str(r.status)
        if before != after or not r.one_line() or reason not in r.err:
            return "refused, CHANGED, not one line or another reason"
        return "refused, unchanged"

    def damaged_user_files(self):
        out = collections.Counter()
        base, user, image = self.fresh("user")
        self.run(["macro", "new", "keep"], user)
        self.run(["macro", "add", "keep", "down:a", "up:a"], user)
        pristine = os.path.join(base, "pristine")
        shutil.copytree(user, pristine)
        outside = self.digest(self.data)
        for i in range(self.n(200)):
            shutil.rmtree(user)
            shutil.copytree(pristine, user)
            target = self.rng.choice([STORE, "gSetting.dct", "lang.ini", "Mac/keep.qxm", "mac.dct"])
            p = os.path.join(user, target)
            size = os.path.getsize(p) if os.path.exists(p) else 64
            kind = self.rng.randrange(4)
            if kind == 0:
                data = b""
            elif kind == 1:
                data = open(p, "rb").read()[:self.rng.randrange(size)] if os.path.exists(p) else b"x"
            elif kind == 2:
                data = bytes(self.rng.getrandbits(8) for _ in range(size))
            else:
                data = bytes(self.rng.getrandbits(8) for _ in range(size + self.rng.randrange(1, 5000)))
            self.write(p, data)
            cmd = self.rng.choice([["show"], ["macro", "list"], ["profiles"], ["set", "dpi", "1", "800"]])
            r = self.run(cmd, user, image=image)
            if not isinstance(r.status, int):
                out[str(r.status)] += 1
            elif r.status != 0 and not r.one_line():
                out["failed without one line"] += 1
            else:
                out["exit %d" % r.status] += 1
        if self.digest(self.data) != outside:
            out["data folder CHANGED"] += 1
        self.record("damaged user files", out, {"exit 0", "exit 1"})

    def damaged_data_folders(self):
        out = collections.Counter()
        base = os.path.join(self.root, "data")
        user = os.path.join(base, "user")
        os.makedirs(user, exist_ok=True)
        cfg = open(os.path.join(self.data, "cfg.ini"), "rb").read()
        for i in range(self.n(27)):
            d = os.path.join(base, "d%d" % i)
            shutil.copytree(self.data, d)
            kind = i % 4
            if kind == 0:
                self.write(os.path.join(d, "cfg.ini"), b"")
            elif kind == 1:
                self.write(os.path.join(d, "cfg.ini"), bytes(self.rng.getrandbits(8) for _ in range(4000)))
            elif kind == 2:
                self.write(os.path.join(d, "cfg.ini"), cfg[:self.rng.randrange(len(cfg))])
            else:
                self.write(os.path.join(d, "text.xml"), bytes(self.rng.getrandbits(8) for _ in range(3000)))
            for cmd in (["models"], ["list"]):
                r = self.run(cmd, user, data=d, image=os.path.join(base, "m%d.bin" % i))
                if not isinstance(r.status, int):
                    out[str(r.status)] += 1
                elif r.status == 0:
                    out["exit 0" if r.out and "APPDATA" not in r.out + r.err else "exit 0, NO OUTPUT"] += 1
                else:
                    out["exit %d, one line" % r.status if r.one_line() else "failed without one line"] += 1
        self.record("damaged data folders (models, list)", out,
                    {"exit 0", "exit 1, one line"})

    def fifos(self):
        out = collections.Counter()
        base, user, image = self.fresh("fifo")
        data = os.path.join(base, "data")
        shutil.copytree(self.data, data)
        os.remove(os.path.join(data, "text.xml"))
        os.mkfifo(os.path.join(data, "text.xml"))
        lang = os.path.join(user, "lang.ini")
        if os.path.exists(lang):
            os.remove(lang)
        os.mkfifo(lang)
        for cmd in (["models"], ["show"], ["macro", "list"]):
            r = self.run(cmd, user, data=data, image=image, timeout=20)
            out["ended (exit %s)" % r.status if r.status != "hang" else "hang"] += 1
        self.record("FIFO as lang.ini and text.xml", out, {"ended (exit 0)", "ended (exit 1)"})

    def exports(self):
        out = collections.Counter()
        base, user, image = self.fresh("export")
        folder = os.path.join(base, "afolder")
        os.makedirs(folder)
        r = self.run(["export", folder], user, image=image)
        out["folder: refused, nothing written" if r.status != 0 and not os.listdir(folder)
            and r.one_line() else "folder: ACCEPTED"] += 1
        missing = os.path.join(base, "no", "such", "dir", "p.qxa")
        r = self.run(["export", missing], user, image=image)
        out["missing folders: refused, none made" if r.status != 0 and
            not os.path.exists(os.path.join(base, "no")) else "missing folders: CREATED"] += 1
        self.record("export to a folder / missing folders", out,
                    {"folder: refused, nothing written", "missing folders: refused, none made"})

    def two_processes(self):
        base, user, image = self.fresh("two")
        until = time.monotonic() + self.lock_seconds
        last = [{}, {}]
        counts = collections.Counter()

        def loop(who):
            i = 0
            while time.monotonic() < until:
                addr = (0x1800 if who == 0 else 0x1880) + i % 32
                value = (i * 7 + who * 101 + 1) & 0xFF
                r = self.run(["eeprom", "write", "%x" % addr, "%02x" % value], user, image=image)
                if r.status == 0:
                    last[who][addr] = value
                    counts["write ok"] += 1
                else:
                    counts["failed, one line" if r.one_line() else "failed without one line"] += 1
                i += 1

        threads = [threading.Thread(target=loop, args=(w,)) for w in (0, 1)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        img = open(image, "rb").read()
        lost = sum(1 for w in last for a, v in w.items() if img[a] != v)
        counts["lost"] = lost
        self.record("two processes, %d s of eeprom writes" % self.lock_seconds, counts,
                    {"write ok", "failed, one line"})

    def killed_saves(self):
        base, user, image = self.fresh("kill")
        self.run(["macro", "new", "k"], user)
        mac = os.path.join(user, "Mac")
        out = collections.Counter()
        cmd = [self.ctl, "--data-dir", self.data, "--user-dir", user, "macro", "add", "k", "down:a", "up:a"]
        for i in range(self.n(100)):
            p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(self.rng.uniform(0.0, 0.06))
            p.send_signal(signal.SIGKILL)
            p.wait()
        hidden = [f for f in os.listdir(mac) if f.startswith(".")]
        out["hidden files after the kills"] = len(hidden)
        self.run(["macro", "list"], user)  # a start removes our stale temporary files
        left = [f for f in os.listdir(mac) if f.startswith(".")]
        r = self.run(["macro", "show", "k"], user)
        out["runs killed"] = self.n(100)
        out["hidden files after the next start"] = len(left)
        out["macro readable afterwards"] = 1 if r.status == 0 else 0
        self.rows.append(("kill during macro save", self.n(100),
                          ("FAULT: " if left or r.status != 0 else "") +
                          ", ".join("%s %d" % kv for kv in out.items())))
        self.faults += len(left) + (r.status != 0)

    def import_four_times(self):
        base, user, image = self.fresh("four")
        self.run(["macro", "new", "m1"], user)
        self.run(["macro", "add", "m1", "down:a", "delay:20", "up:a"], user)
        self.run(["set", "button", "4", "macro:m1"], user, image=image)
        qxa = os.path.join(base, "p.qxa")
        self.run(["export", qxa], user, image=image)
        other = os.path.join(base, "other")
        os.makedirs(other)
        oks = 0
        for _ in range(4):
            oks += self.run(["import", qxa], other, image=image).status == 0
        names = [f for f in os.listdir(os.path.join(other, "Mac"))]
        out = collections.Counter({"imports ok": oks, "macros in the library": len(names)})
        self.rows.append(("import one .qxa four times", 4,
                          ("FAULT: " if len(names) != 1 or oks != 4 else "") +
                          ", ".join("%s %d" % kv for kv in out.items())))
        self.faults += (len(names) != 1) + (oks != 4)

    def long_names(self):
        base, user, image = self.fresh("names")
        out = collections.Counter()
        names = ["a macro name longer than the mouse keeps", "\u00e9t\u00e9 " * 6,
                 "fifteen units 1", ".hidden.one"]
        for name in names:
            r = self.run(["macro", "new", name], user)
            if r.status != 0:
                out["refused"] += 1
                continue
            listed = self.run(["macro", "list", "--json"], user).out
            kept = listed.split('"name":"')[-1].split('"')[0]
            self.run(["macro", "add", kept, "down:a", "up:a"], user)
            self.run(["set", "button", "4", "macro:" + kept], user, image=image)
            before = len(os.listdir(os.path.join(user, "Mac")))
            self.run(["show"], user, image=image)  # reads the macro back from the mouse
            after = len(os.listdir(os.path.join(user, "Mac")))
            hidden = any(f.startswith(".") for f in os.listdir(os.path.join(user, "Mac")))
            out["no twin after a read" if after == before and not hidden else "TWIN or hidden"] += 1
        self.record("long and hidden macro names", out, {"no twin after a read"})

    def user_dir_is_a_file(self):
        base = os.path.join(self.root, "userfile")
        os.makedirs(base)
        f = os.path.join(base, "plain")
        self.write(f, b"x")
        out = collections.Counter()
        for cmd in (["macro", "list"], ["--offline", "profiles"]):
            r = self.run(cmd, f)
            out["exit %s, one line" % r.status if r.status != 0 and r.one_line() else
                "exit %s" % r.status] += 1
        self.record("--user-dir naming a file", out, {"exit 1, one line"})

    def held_lock(self):
        base, user, image = self.fresh("lock")
        out = collections.Counter()
        fd = os.open(image + ".lock", os.O_RDWR | os.O_CREAT, 0o644)
        fcntl.flock(fd, fcntl.LOCK_EX)
        try:
            for cmd in (["show"], ["set", "dpi", "1", "800"], ["list"], ["eeprom", "read", "0", "4"],
                        ["eeprom", "write", "1800", "01"], ["import", os.path.join(base, "x.qxa")]):
                before = self.state(user, image)
                r = self.run(cmd, user, image=image)
                same = before == self.state(user, image)
                out["busy line, exit 1" if r.status == 1 and r.err == BUSY and same else
                    "other: %s %r" % (r.status, r.err[:60])] += 1
        finally:
            fcntl.flock(fd, fcntl.LOCK_UN)
            os.close(fd)
        self.record("device lock held by another process", out, {"busy line, exit 1"})

    def report(self):
        width = max(len(r[0]) for r in self.rows)
        print("%-*s  %5s  %s" % (width, "try", "runs", "outcomes"))
        for name, count, text in self.rows:
            print("%-*s  %5d  %s" % (width, name, count, text))
        print("udev reload failure: not run here (it writes /etc/udev); see tests/platform/udev_rules_test.cpp")
        print("faults: %d" % self.faults)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", default="build/default")
    ap.add_argument("--data", default="data")
    ap.add_argument("--seed", type=int, default=18)
    ap.add_argument("--scale", type=float, default=1.0, help="fraction of the issue's counts")
    ap.add_argument("--lock-seconds", type=int, default=20)
    ap.add_argument("--only", help="comma-separated try names (method names)")
    args = ap.parse_args()
    t = Tries(args)
    order = ["crafted_qxa", "crafted_qxm", "damaged_user_files", "damaged_data_folders", "fifos",
             "exports", "two_processes", "killed_saves", "import_four_times", "long_names",
             "user_dir_is_a_file", "held_lock"]
    chosen = args.only.split(",") if args.only else order
    try:
        for name in chosen:
            getattr(t, name)()
            sys.stdout.flush()
    finally:
        t.report()
        shutil.rmtree(t.root, ignore_errors=True)
    return 1 if t.faults else 0


if __name__ == "__main__":
    sys.exit(main())
