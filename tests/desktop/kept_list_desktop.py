"""The kept list and the conveniences around it on a desktop of their own (run-session.sh),
driven with real keys and clicks and read back through AT-SPI and the program's files:

1. A first start takes the videos folder; a typed folder is used; the list is kept across a
   SIGKILL during a run (the done row is not redone, the interrupted one is, no part file is
   left) and across a close; files named on the command line are appended without
   duplicates; a file gone meanwhile is marked; Open Output Folder and Show in Folder reach
   the file manager's D-Bus interface and the desktop's opener (xdg-open).
2. 200 files named on the command line while a reader never sees a half-written list file; a
   preset saved and applied; closing during the run asks, "Keep converting" goes on, "Stop and
   quit" ends the rows properly and quits; Remove Finished.

    kept_list_desktop.py PROGRAM MEDIA_DIR CONVERTER
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

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # pylint: disable=wrong-import-position

import desktop  # pylint: disable=wrong-import-position
from desktop import Program, find, keys, wait_for  # pylint: disable=wrong-import-position

PROGRAM, MEDIA, CONVERTER = sys.argv[1:4]
FOLDER_BOX = "Output Folder"


def is_list(node):
    """Searches do not go through the list's cells: it may hold hundreds of rows."""
    return node.getRoleName() == "tree"


def outside_list(program, role, name=None, test=None):
    return find(program.frame, role, name, test, skip=is_list)


def check(condition, what):
    if not condition:
        desktop.keep_screen()
        raise AssertionError(what)


class FileManager:
    """A stand-in for the desktop's file manager on the session bus, recording ShowItems."""

    XML = """<node><interface name="org.freedesktop.FileManager1">
      <method name="ShowItems"><arg type="as" direction="in"/><arg type="s" direction="in"/></method>
      <method name="ShowFolders"><arg type="as" direction="in"/><arg type="s" direction="in"/></method>
      </interface></node>"""

    def __init__(self):
        self.calls = []
        self.owner = None
        threading.Thread(target=GLib.MainLoop().run, daemon=True).start()

    def start(self):
        node = Gio.DBusNodeInfo.new_for_xml(self.XML)

        def called(_connection, _sender, _path, _interface, method, parameters, invocation):
            self.calls.append((method, list(parameters.unpack()[0])))
            invocation.return_value(None)

        def acquired(connection, _name):
            connection.register_object("/org/freedesktop/FileManager1", node.interfaces[0],
                                       called, None, None)

        self.owner = Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.FileManager1",
                                      Gio.BusNameOwnerFlags.NONE, acquired, None, None)
        time.sleep(0.5)

    def stop(self):
        Gio.bus_unown_name(self.owner)
        time.sleep(0.5)


def start(home, files=(), fake_bin=None):
    """The program with home as its home, settings and data folder; xdg-open from fake_bin."""
    path = (fake_bin + ":" if fake_bin else "") + os.environ.get("PATH", "/usr/bin:/bin")
    return Program(PROGRAM, files, config=home + "/.config", data=home + "/.local/share",
                   environment={"HOME": home, "PATH": path})


def cells(program):
    """The list's cells by row: each a list of the row's cell objects."""
    table = find(program.frame, "tree").queryTable()
    return [[table.getAccessibleAt(row, column) for column in range(table.nColumns)]
            for row in range(table.nRows)]


def row_count(program):
    return find(program.frame, "tree").queryTable().nRows


def captions(program):
    return [row[0].name for row in cells(program)]


def menu(program, key, entry):
    """Opens a menu with its key and clicks an entry."""
    program.activate()
    keys(key)
    item = wait_for(lambda: outside_list(program, "menu item", entry, desktop.showing),
                    "the menu entry " + entry)
    desktop.click(item)


def answer(program, text_start, button):
    """Clicks a button of the message box whose text begins so (the main window is not
    searched)."""
    def message():
        return find(program.app, test=lambda node: node.getRoleName() in ("dialog", "alert") and
                    find(node, "label", test=lambda label: label.name.startswith(text_start)),
                    skip=lambda node: node.getRoleName() == "frame")
    desktop.click(find(wait_for(message, "a message beginning " + text_start), "push button",
                       button))


def type_folder(program, folder):
    desktop.click(outside_list(program, "text", FOLDER_BOX))
    keys("ctrl+a")
    desktop.xdotool("type", "--delay", "5", folder)


def kept(home):
    """The rows of the list file, or None while it cannot be read."""
    try:
        with open(home + "/.local/share/Vidbrisk/queue.json", "rb") as file:
            return json.loads(file.read())["rows"]
    except (OSError, ValueError, KeyError):
        return None


def states(home):
    return [row["state"] for row in kept(home) or []]


def part_files(folder):
    return sorted(name for name in os.listdir(folder) if name.endswith(".part"))


def quit_program(program):
    program.activate()
    keys("ctrl+q")
    check(program.ended(), "Ctrl+Q ends the program")


def across_a_kill_and_a_close():
    work = tempfile.mkdtemp()
    home, out, fake_bin = work + "/home", work + "/out", work + "/bin"
    for folder in (home + "/Videos", out, fake_bin):
        os.makedirs(folder)
    opener_log = work + "/opener.log"
    with open(fake_bin + "/xdg-open", "w", encoding="utf-8") as script:
        script.write(f"#!/bin/sh\nprintf '%s\\n' \"$@\" >> '{opener_log}'\n")
    os.chmod(fake_bin + "/xdg-open", 0o755)
    done, slow, short, extra = (work + "/" + name for name in
                                ("done.mp4", "slow.mp4", "short.mp3", "extra.mp3"))
    for source, copy in (("h264_aac.mp4", done), ("textured.mp4", slow),
                         ("audio_only.mp3", short), ("audio_only.mp3", extra)):
        shutil.copy(os.path.join(MEDIA, source), copy)

    program = start(home, [done, slow, short], fake_bin)
    wait_for(lambda: row_count(program) == 3, "three rows")
    check(desktop.text_of(outside_list(program, "text", FOLDER_BOX)) == home + "/Videos",
          "a first start takes the videos folder")
    type_folder(program, out)
    keys("ctrl+Return")
    # Killed while the second file converts: its part file is there. Watched closely, as
    # the file converts in well under a second on a fast machine.
    slow_part = out + "/.slow.flv.part"
    end = time.monotonic() + 120
    while not (states(home)[:2] == ["Done", "Converting"] and os.path.exists(slow_part)):
        check(time.monotonic() < end, "timed out waiting for the second row converting")
        time.sleep(0.005)
    program.process.send_signal(signal.SIGKILL)
    program.process.wait()
    done_written = os.stat(out + "/done.flv").st_mtime_ns

    # Back with the list: a file named again is not added twice, a new one is appended.
    program = start(home, [short, extra], fake_bin)
    wait_for(lambda: captions(program) == [done, slow, short, extra], "the kept rows, then one new")
    rows = cells(program)
    check(rows[0][5].name == "Done" and not desktop.checked(rows[0][0]), "done: Done, unchecked")
    check(rows[1][5].name == "" and desktop.checked(rows[1][0]), "interrupted: waiting, checked")
    check(part_files(out) == [], "the killed run's part file is gone")
    check(desktop.text_of(outside_list(program, "text", FOLDER_BOX)) == out, "the folder was kept")
    menu(program, "alt+f", "Open Output Folder")
    wait_for(lambda: out in open(opener_log, encoding="utf-8").read(), "xdg-open on the folder")
    quit_program(program)

    # Closed and started again with a file gone meanwhile; the rest converts.
    os.remove(extra)
    program = start(home, [], fake_bin)
    wait_for(lambda: row_count(program) == 4, "the four rows back")
    gone = cells(program)[3][5]
    check(gone.name == "Error" and "not found" in gone.description, "the file gone is marked")
    program.activate()
    keys("ctrl+Return")
    answer(program, "All Conversions Completed", "OK")
    check(states(home) == ["Done", "Done", "Done", "Fail"], "every row's end: %s" % states(home))
    check(os.stat(out + "/done.flv").st_mtime_ns == done_written, "the done row is not redone")
    check(os.path.getsize(out + "/slow.flv") > 100000, "the interrupted row is redone whole")
    check(part_files(out) == [], "no part file is left")
    check(out + "/slow.flv" in cells(program)[1][1].description, "the row's tooltip names its output")
    show_in_folder(program, out + "/slow.flv", opener_log)
    quit_program(program)
    shutil.rmtree(work, ignore_errors=True)


def show_in_folder(program, output, opener_log):
    """The file manager's ShowItems, else xdg-open on the output's folder."""
    def choose(column):
        # The context menu is a popup, which the accessibility bus does not list: its entry
        # is chosen by its key.
        program.activate()
        desktop.click(cells(program)[1][column])
        desktop.xdotool("click", "3")
        keys("s")

    manager = FileManager()
    manager.start()
    choose(1)
    wait_for(lambda: ("ShowItems", ["file://" + output]) in manager.calls, "ShowItems")
    manager.stop()
    open(opener_log, "w", encoding="utf-8").close()
    choose(2)
    wait_for(lambda: open(opener_log, encoding="utf-8").read().strip() == os.path.dirname(output),
             "xdg-open on the output's folder without a file manager")


def many_files_presets_stop_and_quit():
    work = tempfile.mkdtemp()
    home, out = work + "/home", work + "/out"
    os.makedirs(out)
    files = [f"{work}/f{number:03}.mp3" for number in range(200)]
    for file in files:
        os.link(os.path.join(MEDIA, "audio_only.mp3"), file)
    seen = {"reading": True, "reads": 0, "broken": 0, "most": 0}

    def reader():
        path = home + "/.local/share/Vidbrisk/queue.json"
        while seen["reading"]:
            try:
                with open(path, "rb") as file:
                    seen["most"] = max(seen["most"], len(json.loads(file.read())["rows"]))
                seen["reads"] += 1
            except FileNotFoundError:
                pass
            except (ValueError, KeyError):
                seen["broken"] += 1
    thread = threading.Thread(target=reader)
    thread.start()
    program = start(home, files)
    wait_for(lambda: seen["most"] == 200, "200 rows kept", 120)
    seen["reading"] = False
    thread.join()
    check(seen["broken"] == 0, "%(broken)d of %(reads)d reads saw a half-written list" % seen)

    saved_and_applied_preset(program, home)
    type_folder(program, out)
    keys("ctrl+Return")
    wait_for(lambda: "Done" in states(home), "a first row done", 60)
    keys("ctrl+q")
    answer(program, "A conversion is running", "Keep converting")
    done_before = states(home).count("Done")
    wait_for(lambda: states(home).count("Done") > done_before + 1, "the run going on", 60)
    program.activate()
    keys("ctrl+q")
    answer(program, "A conversion is running", "Stop and quit")
    check(program.ended(60), "Stop and quit ends the program")
    finished = states(home).count("Done")
    check("Converting" not in states(home), "every running row ended: %s" % set(states(home)))
    check(part_files(out) == [], "no part file is left after Stop and quit")

    program = start(home)
    wait_for(lambda: row_count(program) == 200, "the rows back", 60)
    menu(program, "alt+f", "Remove Finished")
    wait_for(lambda: row_count(program) == 200 - finished, "the done rows removed")
    wait_for(lambda: len(kept(home)) == 200 - finished, "the kept list without them")
    quit_program(program)
    shutil.rmtree(work, ignore_errors=True)


def saved_and_applied_preset(program, home):
    """MP3 chosen, saved as a preset, another format, the preset applied again."""
    def choose_format(shown, wanted):
        desktop.click(outside_list(program, "combo box", shown))
        desktop.click(wait_for(lambda: find(program.app, "list item", wanted,
                                            test=desktop.showing), "the format list"))
    mp3, flv = "MP3 - Mpeg Layer3 Audio (*.mp3)", "FLV - Flash Video (*.flv)"
    choose_format(flv, mp3)
    menu(program, "alt+p", "Save Settings As...")
    wait_for(lambda: program.top("dialog"), "the preset's name asked")
    desktop.xdotool("type", "--delay", "5", "Sound only")
    keys("Return")
    choose_format(mp3, flv)
    menu(program, "alt+p", "Sound only")
    wait_for(lambda: outside_list(program, "combo box", mp3), "the preset's format")
    with open(home + "/.config/Morvane/Vidbrisk.conf", encoding="utf-8") as settings:
        check("Name=Sound only" in settings.read(), "the preset is in the settings file")
    listed = subprocess.run([CONVERTER, "--list-presets"], capture_output=True, text=True,
                            env=dict(os.environ, XDG_CONFIG_HOME=home + "/.config"), check=False)
    check(listed.stdout.startswith("Sound only\tMP3"), "the converter lists the preset")


if __name__ == "__main__":
    sys.exit(desktop.run_scenarios([across_a_kill_and_a_close, many_files_presets_stop_and_quit]))
