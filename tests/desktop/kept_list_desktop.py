#!/usr/bin/python3
"""The window program on a private desktop (Xvfb, openbox, the accessibility bus), driven
with real keys and clicks (xdotool) and read back through AT-SPI and its files:

1. A first start takes the videos folder; a typed folder is used; the list is kept across a
   SIGKILL during a run (the done row is not redone, the interrupted one is, no part file
   is left) and across a close; files named on the command line are appended without
   duplicates; a file gone meanwhile is marked.
2. Open Output Folder and Show in Folder reach the file manager's D-Bus interface and the
   desktop's opener (xdg-open).
3. 200 files named on the command line: a reader never sees a half-written queue file;
   closing during the run asks, "Keep converting" goes on, "Stop and quit" ends the rows
   properly and quits; Remove Finished; a preset saved and applied.

Run inside dbus-run-session:
  kept_list_desktop.py PROGRAM CONVERTER MEDIA_FOLDER
Exit status 0 when every check holds, 1 otherwise, 77 when the desktop tools are missing.
"""
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

try:
    import gi

    gi.require_version("Gio", "2.0")
    from gi.repository import Gio, GLib
    import pyatspi
except (ImportError, ValueError) as missing:
    print("skipped: %s" % missing)
    sys.exit(77)

PROGRAM, CONVERTER, MEDIA = sys.argv[1:4]
FAILURES = []


STARTED = time.time()


def step(what):
    print("%6.1f s  %s" % (time.time() - STARTED, what), flush=True)


def check(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAIL: " + what, flush=True)
    return condition


def wait_for(predicate, what, timeout=60.0, step=0.05):
    end = time.time() + timeout
    while time.time() < end:
        try:
            value = predicate()
        except Exception:  # the window may be changing under us
            value = None
        if value:
            return value
        time.sleep(step)
    check(False, "timed out waiting for " + what)
    return None


class Desktop:
    """An X server on the first free display, the accessibility bus and a window manager."""

    def __init__(self):
        for tool in ("Xvfb", "openbox", "xdotool"):
            if shutil.which(tool) is None:
                print("skipped: %s is missing" % tool)
                sys.exit(77)
        launcher = "/usr/libexec/at-spi-bus-launcher"
        if not os.path.exists(launcher):
            print("skipped: the accessibility bus is missing")
            sys.exit(77)
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 1)
            if not chunk:
                break
            number += chunk
        os.close(read)
        os.environ["DISPLAY"] = ":" + number.decode().strip()
        self.bus = subprocess.Popen([launcher, "--launch-immediately"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.manager = subprocess.Popen(["openbox"], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        time.sleep(1.0)

    def close(self):
        for process in (self.manager, self.bus, self.server):
            process.terminate()
            process.wait()


def xdotool(*arguments):
    subprocess.run(["xdotool"] + [str(a) for a in arguments], check=False)
    time.sleep(0.3)


class FileManager:
    """A stand-in for the desktop's file manager on the session bus, recording ShowItems
    and ShowFolders."""

    XML = """<node><interface name="org.freedesktop.FileManager1">
      <method name="ShowItems"><arg type="as" direction="in"/><arg type="s" direction="in"/></method>
      <method name="ShowFolders"><arg type="as" direction="in"/><arg type="s" direction="in"/></method>
      </interface></node>"""

    def __init__(self):
        self.calls = []
        self.loop = GLib.MainLoop()
        self.owner = None
        threading.Thread(target=self.loop.run, daemon=True).start()

    def start(self):
        node = Gio.DBusNodeInfo.new_for_xml(self.XML)

        def called(connection, sender, path, interface, method, parameters, invocation):
            self.calls.append((method, list(parameters.unpack()[0])))
            invocation.return_value(None)

        def acquired(connection, name):
            self.registration = connection.register_object(
                "/org/freedesktop/FileManager1", node.interfaces[0], called, None, None)

        self.owner = Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.FileManager1",
                                      Gio.BusNameOwnerFlags.NONE, acquired, None, None)
        time.sleep(0.5)

    def stop(self):
        Gio.bus_unown_name(self.owner)
        time.sleep(0.5)


class Window:
    """The program started with its own settings, data and home folders."""

    def __init__(self, home, files=(), path_prefix=""):
        environment = dict(os.environ)
        environment.update({
            "HOME": home, "XDG_CONFIG_HOME": home + "/.config",
            "XDG_DATA_HOME": home + "/.local/share", "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "ASAN_OPTIONS": "detect_leaks=0",
            "PATH": path_prefix + os.environ.get("PATH", "/usr/bin:/bin")})
        environment.pop("XDG_CURRENT_DESKTOP", None)
        self.process = subprocess.Popen([PROGRAM] + list(files), env=environment,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.app = wait_for(self._find_app, "the window on the accessibility bus")
        wait_for(lambda: self.frame() is not None, "the main window")
        self.activate()

    def _find_app(self):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == self.process.pid:
                return app
        return None

    def frame(self):
        for child in self.app:
            if child.getRoleName() == "frame" and child.name == "Vidbrisk":
                return child
        return None

    def activate(self):
        xdotool("search", "--sync", "--onlyvisible", "--pid", self.process.pid, "--name",
                "^Vidbrisk$", "windowactivate")

    def find(self, role, name=None, root=None):
        """The first accessible of that role (and name) below root, or None. The list's
        cells are not searched: with hundreds of rows that would take long."""
        def search(accessible):
            for child in accessible:
                if child is None:
                    continue
                child_role = child.getRoleName()
                if child_role == role and (name is None or child.name == name):
                    return child
                if child_role != "tree":
                    found = search(child)
                    if found is not None:
                        return found
            return None
        return search(root or self.app)

    # The list has a header cell per column (the last one hidden) before its rows.
    COLUMNS = 8

    def row_count(self):
        return self.find("tree").childCount // self.COLUMNS - 1

    def rows(self, first=0, count=None):
        """Rows of the list as lists of their cells."""
        tree = self.find("tree")
        total = tree.childCount // self.COLUMNS - 1
        last = total if count is None else min(total, first + count)
        return [[tree[(row + 1) * self.COLUMNS + column] for column in range(self.COLUMNS)]
                for row in range(first, last)]

    def captions(self):
        return [row[0].name for row in self.rows()]

    def click(self, accessible, button=1):
        box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        xdotool("mousemove", box.x + box.width // 2, box.y + box.height // 2)
        xdotool("click", button)

    def status(self, index):
        bar = self.find("status bar")
        return bar[index].name

    def answer(self, button_name, text_part):
        """Clicks a button of the message box that shows text_part."""
        def box():
            for child in self.app:
                if child.getRoleName() in ("dialog", "alert") and pyatspi.findDescendant(
                        child, lambda a: a is not None and text_part in (a.name or "")):
                    return child
            return None
        dialog = wait_for(box, "a message saying " + text_part)
        if dialog:
            button = self.find("push button", button_name, dialog)
            check(button is not None, "the message has a button " + button_name)
            if button:
                self.click(button)
        return dialog

    def menu(self, keys, entry):
        """Opens a menu with its key and clicks an entry."""
        self.activate()
        xdotool("key", keys)
        item = wait_for(lambda: self._showing_item(entry), "the menu entry " + entry, 10)
        if item:
            self.click(item)

    def choose_format(self, shown, wanted):
        """Opens the format box, which shows `shown`, and clicks the entry `wanted`."""
        self.click(self.find("combo box", shown))
        item = wait_for(lambda: self._showing_item(wanted, "list item"), "the format list open", 10)
        if item:
            self.click(item)

    def _showing_item(self, name, role="menu item"):
        item = self.find(role, name)
        if item and item.getState().contains(pyatspi.STATE_SHOWING):
            return item
        return None

    def finished(self, timeout=30):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None


def read_queue(home):
    path = home + "/.local/share/Vidbrisk/queue.json"
    with open(path, "rb") as file:
        return json.loads(file.read())


def queue_rows(home):
    try:
        return read_queue(home)["rows"]
    except (OSError, ValueError, KeyError):
        return None


def part_files(folder):
    return sorted(name for name in os.listdir(folder) if name.endswith(".part"))


def kept_list_across_a_kill_and_a_close(work, opener_log, file_manager):
    home = work + "/home1"
    os.makedirs(home + "/Videos")
    out = work + "/out1"
    os.makedirs(out)
    done, slow, short = (work + "/" + name for name in ("done.mp4", "slow.mp4", "short.mp3"))
    shutil.copy(MEDIA + "/h264_aac.mp4", done)
    shutil.copy(MEDIA + "/textured.mp4", slow)
    shutil.copy(MEDIA + "/audio_only.mp3", short)
    fake_bin = work + "/bin"
    step("first start")
    window = Window(home, [done, slow, short], fake_bin + ":")
    wait_for(lambda: len(window.captions()) == 3, "three rows")
    folder_box = window.find("text")
    check(folder_box.queryText().getText(0, -1) == home + "/Videos",
          "a first start takes the videos folder")
    wait_for(lambda: queue_rows(home) and len(queue_rows(home)) == 3, "three rows kept")
    # A typed output folder.
    window.click(folder_box)
    xdotool("key", "ctrl+a")
    xdotool("type", "--delay", "5", out)
    step("convert and kill")
    # Convert, and kill the program while the second file converts.
    xdotool("key", "ctrl+Return")
    slow_part = out + "/.slow.flv.part"

    def second_running():
        rows = queue_rows(home)
        return (rows and rows[0]["state"] == "Done" and rows[1]["state"] == "Converting"
                and os.path.exists(slow_part))
    wait_for(second_running, "the second row converting", 120, 0.005)
    window.process.send_signal(signal.SIGKILL)
    window.process.wait()
    check(os.path.exists(slow_part), "the killed run left its part file")
    done_output = out + "/done.flv"
    check(os.path.exists(done_output), "the first output was written")
    done_written = os.stat(done_output).st_mtime_ns

    step("restart")
    # Back with the list; files named again are not added twice, new ones are appended.
    extra = work + "/extra.mp3"
    shutil.copy(MEDIA + "/audio_only.mp3", extra)
    window = Window(home, [short, extra], fake_bin + ":")
    wait_for(lambda: window.captions() == [done, slow, short, extra],
             "the kept rows, then the new file")
    rows = window.rows()
    check(rows[0][5].name == "Done", "the done row shows Done")
    check(not rows[0][0].getState().contains(pyatspi.STATE_CHECKED), "the done row is unchecked")
    check(rows[1][5].name == "", "the interrupted row waits again")
    check(rows[1][0].getState().contains(pyatspi.STATE_CHECKED), "the interrupted row is checked")
    check(part_files(out) == [], "the killed run's part file is gone")
    check(window.find("text").queryText().getText(0, -1) == out, "the typed folder was kept")

    # Open Output Folder: the desktop's opener gets the folder.
    window.menu("alt+f", "Open Output Folder")
    wait_for(lambda: os.path.exists(opener_log) and out in open(opener_log).read(),
             "xdg-open called with the output folder", 10)

    step("close and restart")
    # Closed by its close box (Ctrl+Q), with a file gone meanwhile.
    window.activate()
    xdotool("key", "ctrl+q")
    check(window.finished() == 0, "Ctrl+Q ends the program")
    os.remove(extra)
    window = Window(home, [], fake_bin + ":")
    wait_for(lambda: len(window.captions()) == 4, "the four rows back")
    rows = window.rows()
    check(rows[3][5].name == "Error" and "not found" in rows[3][5].description,
          "the file gone shows Error, not found")

    window.activate()
    xdotool("key", "ctrl+Return")
    window.answer("OK", "All Conversions Completed")
    if not wait_for(lambda: window.rows()[1][5].name == "Done", "the interrupted row converted"):
        print("rows: %s" % [[cell.name for cell in row] for row in window.rows()], flush=True)
        print("kept: %s" % queue_rows(home), flush=True)
    check(os.stat(done_output).st_mtime_ns == done_written, "the done row was not converted again")
    check(os.path.getsize(out + "/slow.flv") > 100000, "the interrupted row's output is whole")
    check(part_files(out) == [], "no part file is left")
    rows = queue_rows(home)
    check([row["state"] for row in rows] == ["Done", "Done", "Done", "Fail"],
          "the kept list has every row's end: %s" % [row["state"] for row in rows])
    check(rows[1]["output"] == out + "/slow.flv", "the kept list names the output")
    # The output path is the converted row's tooltip.
    check(out + "/slow.flv" in window.rows()[1][1].description, "the row's tooltip names its output")

    step("show in folder")
    # Show in Folder: the file manager's ShowItems, else xdg-open on the folder.
    def show_in_folder():
        # The context menu is a popup, which the accessibility bus does not list: its
        # entry is chosen by its key.
        window.activate()
        window.click(window.rows()[1][1])
        window.click(window.rows()[1][1], 3)
        xdotool("key", "s")
    file_manager.start()
    show_in_folder()
    wait_for(lambda: ("ShowItems", ["file://" + out + "/slow.flv"]) in file_manager.calls,
             "ShowItems with the output", 10)
    file_manager.stop()
    open(opener_log, "w").close()
    show_in_folder()
    wait_for(lambda: open(opener_log).read().strip() == out,
             "xdg-open on the output's folder without a file manager", 15)
    window.activate()
    xdotool("key", "ctrl+q")
    check(window.finished() == 0, "the program ends")


def many_files_stop_and_quit_presets(work):
    home = work + "/home2"
    os.makedirs(home)
    out = work + "/out2"
    os.makedirs(out)
    files = []
    for number in range(200):
        path = "%s/many/f%03d.mp3" % (work, number)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        os.link(MEDIA + "/audio_only.mp3", path)
        files.append(path)
    queue_path = home + "/.local/share/Vidbrisk/queue.json"
    reading = True
    seen = {"reads": 0, "broken": 0, "most": 0}

    def reader():
        while reading:
            try:
                with open(queue_path, "rb") as file:
                    rows = json.loads(file.read())["rows"]
                seen["reads"] += 1
                seen["most"] = max(seen["most"], len(rows))
            except FileNotFoundError:
                pass
            except (ValueError, KeyError):
                seen["broken"] += 1
    thread = threading.Thread(target=reader)
    thread.start()
    step("200 files")
    window = Window(home, files)
    wait_for(lambda: seen["most"] == 200, "200 rows kept", 120)
    reading = False
    thread.join()
    check(seen["broken"] == 0, "%d of %d reads saw a half-written list" % (seen["broken"], seen["reads"]))

    step("preset")
    # A preset: MP3 chosen in the format box, saved, another format, the preset again.
    window.choose_format("FLV - Flash Video (*.flv)", "MP3 - Mpeg Layer3 Audio (*.mp3)")
    window.menu("alt+p", "Save Settings As...")
    wait_for(lambda: window.find("dialog"), "the preset name dialog", 10)
    xdotool("type", "--delay", "5", "Sound only")
    xdotool("key", "Return")
    window.choose_format("MP3 - Mpeg Layer3 Audio (*.mp3)", "FLV - Flash Video (*.flv)")
    window.menu("alt+p", "Sound only")
    check(wait_for(lambda: window.find("combo box", "MP3 - Mpeg Layer3 Audio (*.mp3)"),
                   "the preset's format", 10) is not None, "the preset was applied")
    config = open(home + "/.config/Morvane/Vidbrisk.conf").read()
    check("Name=Sound only" in config, "the preset is in the settings file")
    listed = subprocess.run([CONVERTER, "--list-presets"], capture_output=True, text=True,
                            env=dict(os.environ, XDG_CONFIG_HOME=home + "/.config"))
    check(listed.stdout.startswith("Sound only\tMP3"), "the converter lists the preset")

    step("stop and quit")
    # Closing during the run: asked, kept going, then stopped properly and quit.
    folder_box = window.find("text")
    window.click(folder_box)
    xdotool("key", "ctrl+a")
    xdotool("type", "--delay", "5", out)
    xdotool("key", "ctrl+Return")
    wait_for(lambda: any(row["state"] == "Done" for row in queue_rows(home)), "a first row done", 60)
    xdotool("key", "ctrl+q")
    window.answer("Keep converting", "Stop it and quit")
    time.sleep(0.5)
    done_before = sum(row["state"] == "Done" for row in queue_rows(home))
    wait_for(lambda: sum(row["state"] == "Done" for row in queue_rows(home)) > done_before + 1,
             "the run going on", 60)
    check(window.process.poll() is None, "Keep converting keeps the program")
    window.activate()
    xdotool("key", "ctrl+q")
    window.answer("Stop and quit", "Stop it and quit")
    check(window.finished(60) == 0, "Stop and quit ends the program")
    states = [row["state"] for row in read_queue(home)["rows"]]
    check("Converting" not in states, "every running row ended: %s" % sorted(set(states)))
    check(part_files(out) == [], "no part file is left after Stop and quit")
    check("Output%20Folder=" + out in open(home + "/.config/Morvane/Vidbrisk.conf").read()
          or "Output Folder=" + out in open(home + "/.config/Morvane/Vidbrisk.conf").read(),
          "the settings were saved")

    step("remove finished")
    # Remove Finished takes the done rows away.
    window = Window(home)
    wait_for(lambda: window.row_count() == 200, "the rows back", 60)
    finished = states.count("Done")
    window.menu("alt+f", "Remove Finished")
    wait_for(lambda: window.row_count() == 200 - finished, "the done rows removed", 30)
    wait_for(lambda: len(queue_rows(home)) == 200 - finished, "the kept list without them", 30)
    window.activate()
    xdotool("key", "ctrl+q")
    window.finished()


def main():
    desktop = Desktop()
    work = tempfile.mkdtemp(prefix="vidbrisk-desktop-")
    try:
        opener_log = work + "/opener.log"
        os.makedirs(work + "/bin")
        with open(work + "/bin/xdg-open", "w") as script:
            script.write("#!/bin/sh\nprintf '%%s\\n' \"$@\" >> '%s'\n" % opener_log)
        os.chmod(work + "/bin/xdg-open", 0o755)
        file_manager = FileManager()
        kept_list_across_a_kill_and_a_close(work, opener_log, file_manager)
        many_files_stop_and_quit_presets(work)
    finally:
        desktop.close()
        shutil.rmtree(work, ignore_errors=True)
    print("%d failures" % len(FAILURES) if FAILURES else "every check holds")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
