"""The window on a desktop with a window manager, as a user and a screen reader meet it:
its size at scale 1 and 2, resizing and the size kept, no cut text, controls that say whether
they work, accessible names, the open dialog's filters, a run with a failure and one stopped,
Help during a run, row states kept, several rows removed at once, the context-menu keys.

    window_check.py PROGRAM MEDIA_DIR
"""
import configparser
import os
import shutil
import sys
import tempfile

import desktop
from desktop import Program, click, find, find_all, keys, labelled, wait_for

PROGRAM, MEDIA = sys.argv[1], sys.argv[2]
DESIGNED_WIDTH = 762
OPUS_RATE = "48000 Hz (the only rate Opus takes)"
# Copies of a clip a run converts: enough that the run lasts while the checks look at it.
CLIPS = 20


def check(condition, what):
    if not condition:
        desktop.keep_screen()
        raise AssertionError(what)


def write_settings(folder, values):
    os.makedirs(os.path.join(folder, "Morvane"), exist_ok=True)
    with open(os.path.join(folder, "Morvane", "Vidbrisk.conf"), "w", encoding="utf-8") as out:
        out.write("[General]\n")
        for name, value in values.items():
            out.write(f"{name.replace(' ', '%20')}={value}\n")


def read_settings(folder):
    parser = configparser.ConfigParser()
    parser.optionxform = str
    parser.read(os.path.join(folder, "Morvane", "Vidbrisk.conf"))
    return {name.replace("%20", " "): value for name, value in parser["General"].items()}


def settings_panel(program):
    return find(program.frame, "panel", " Video Settings ")


def names_states_and_cut_text(program):
    """Opus is chosen: its one sampling rate is too long for its box, its video boxes empty."""
    rate = wait_for(lambda: labelled(program.frame, "combo box", "Sampling Rate :"),
                    "the sampling-rate box tied to its label")
    check(rate.name == OPUS_RATE, "sampling rate shows " + rate.name)
    check(rate.description == OPUS_RATE, "a shortened entry has its whole text as tooltip")
    for label in ("Video Quality :", "Video Codec :", "Video Size :", "Framerate :"):
        box = labelled(program.frame, "combo box", label)
        check(box is not None and not desktop.enabled(box), label + " box disabled for Opus")
    for label in ("Output Format :", "Audio Codec :", "Audio Channels :"):
        box = labelled(program.frame, "combo box", label)
        check(box is not None and desktop.enabled(box), label + " box enabled")
    for button in find_all(program.frame, "push button"):
        check(button.name, "a button without a name")
    stop = find(program.frame, "push button", "Stop")
    check(not desktop.enabled(stop), "Stop is disabled while nothing runs")
    check(find(program.frame, "slider", "Volume") is not None, "the volume slider's name")
    check(find(program.frame, "tree", "File List") is not None, "the list's name")
    check(find(program.frame, "text", "Output Folder") is not None, "the folder box's name")
    check(program.status()[0] == "Ready", "status " + repr(program.status()))


def resizing(program, designed_height):
    """The list takes the room, the settings keep their shape, the minimum fits scale 2."""
    list_before = desktop.extents(find(program.frame, "tree"))
    panel_before = desktop.extents(settings_panel(program))
    program.resize(1200, 800)
    wait_for(lambda: program.geometry()[2:] == (1200, 800), "the window at 1200x800")
    list_after = desktop.extents(find(program.frame, "tree"))
    panel_after = desktop.extents(settings_panel(program))
    check(list_after[2] - list_before[2] >= 400 and list_after[3] - list_before[3] >= 200,
          f"the list takes the room: {list_before} -> {list_after}")
    check(panel_after[2:] == panel_before[2:],
          f"the settings keep their shape: {panel_before} -> {panel_after}")

    program.resize(200, 200)
    _, _, minimum_width, minimum_height = program.geometry()
    check(minimum_width <= DESIGNED_WIDTH and minimum_height < designed_height,
          f"minimum {minimum_width}x{minimum_height}")
    # Twice that and a title bar fit a 1600x1000 screen.
    check(2 * minimum_width <= 1600 and 2 * minimum_height + 40 <= 1000,
          f"minimum {minimum_width}x{minimum_height} too large for scale 2")


def open_dialog_filters(program):
    """The open dialog lists the program's own outputs and, last, every file."""
    keys("ctrl+o")
    dialog = wait_for(lambda: program.top("dialog", test=lambda d: find(d, "combo box")),
                      "the open dialog")
    filters = wait_for(lambda: [item.name for item in find_all(dialog, "list item")
                                if item.name.endswith(")")], "the filter entries")
    check(filters[0].startswith("All Supported Files (") and
          all(f"*.{ext}" in filters[0] for ext in
              ("mkv", "webm", "opus", "flac", "m4v", "ts", "m2ts", "mts", "ogv", "oga",
               "wv", "m2v", "avi", "flv")), "All Supported Files: " + filters[0])
    check(filters[-1] == "All Files (*)", "last filter: " + filters[-1])
    keys("Escape")


def layout_and_names():
    """Scale 1: the designed size, resizing, the minimum, the size kept between starts; no cut
    text; names, labels and enabled states; the open dialog's filters."""
    config = tempfile.mkdtemp()
    # Opus: a sound-only format whose one sampling rate is a long entry.
    write_settings(config, {"Output Folder": "", "ComboOutputFormat": 23, "Overwrite": 0,
                            "DropDownItems": 27, "LetterBox": 0})
    program = Program(PROGRAM, config=config)
    try:
        _, _, width, height = program.geometry()
        check(width == DESIGNED_WIDTH and 525 <= height <= 560,
              f"designed size expected, got {width}x{height}")
        names_states_and_cut_text(program)
        resizing(program, height)
        program.resize(1000, 700)
        wait_for(lambda: program.geometry()[2:] == (1000, 700), "the window at 1000x700")
        keys("alt+F4")
        check(program.ended(), "the close box ends the program")
        stored = read_settings(config)
        check((stored.get("WindowWidth"), stored.get("WindowHeight")) == ("1000", "700"),
              "the size is kept: " + repr(stored))
    finally:
        program.stop()

    again = Program(PROGRAM, config=config)
    try:
        check(again.geometry()[2:] == (1000, 700), f"restarted at {again.geometry()}")
        open_dialog_filters(again)
    finally:
        again.stop()
    shutil.rmtree(config, ignore_errors=True)


def scale_two():
    """At scale 2 on a 1600x1000 screen the whole window, title bar included, is on it."""
    program = Program(PROGRAM, scale=2)
    try:
        x, y, width, height = program.geometry()
        check(x >= 0 and y >= 10 and x + width <= 1600 and y + height <= 1000,
              f"window at {x},{y} {width}x{height} leaves the screen")
        status = find(program.frame, "status bar")
        check(status is not None and desktop.showing(status), "the status bar shows")
    finally:
        program.stop()


def copies(folder, count):
    """count copies of a clip under names of their own, then a file that is not media."""
    files = []
    for number in range(1, count + 1):
        files.append(os.path.join(folder, f"clip{number:02}.mp4"))
        shutil.copy(os.path.join(MEDIA, "h264_aac.mp4"), files[-1])
    files.append(os.path.join(folder, "not_media.mp4"))
    shutil.copy(os.path.join(MEDIA, "not_media.mp4"), files[-1])
    return files


def progress_column(program):
    rows = desktop.cell_texts(find(program.frame, "tree"))
    return [row[5] for row in rows]


def during_the_run(program):
    """What ignores input looks disabled, Stop and Help work, the help shows meanwhile."""
    keys("ctrl+Return")
    wait_for(lambda: program.status()[0].startswith("Converting"), "the run")
    frame = program.frame
    check(desktop.enabled(find(frame, "push button", "Stop")), "Stop works during a run")
    for name in ("Play", "Pause", "..."):
        check(not desktop.enabled(find(frame, "push button", name)), name + " disabled")
    previews = find_all(frame, "push button", "Stop")
    check(len(previews) == 2 and not desktop.enabled(previews[1]), "preview Stop disabled")
    check(not desktop.enabled(find(frame, "slider", "Volume")), "volume disabled")
    check(not desktop.enabled(find(frame, "text", "Output Folder")), "folder disabled")
    bar = find(frame, "menu bar")
    menus = {menu.name: desktop.enabled(menu) for menu in desktop.children(bar)}
    check(menus == {"File": False, "Options": False, "Presets": False, "Help": True},
          "only Help enabled during the run: " + repr(menus))

    keys("F1")
    help_window = wait_for(lambda: program.top("frame", "Vidbrisk Help"), "the help window")
    check(program.status()[0].startswith("Converting"), "help shown during the run")
    check(find(help_window, test=lambda node: "Adding files" in desktop.text_of(node)),
          "the help's text is readable")
    keys("Escape")
    program.activate()


def the_end_and_kept_states(program, rows):
    """The end message counts, the status bar is back; adding a file keeps the states."""
    _, message = program.message("All Conversions Completed")
    check(message == f"All Conversions Completed\n{CLIPS} done, 1 failed", repr(message))
    check(not program.status()[0].startswith("Converting"),
          "status while the end message shows: " + repr(program.status()))
    keys("Return")
    wait_for(lambda: not find_all(program.app, "alert") and not find_all(program.app, "dialog"),
             "the message closed")
    states = progress_column(program)
    check(states == ["Done"] * CLIPS + ["Fail"], "row states " + repr(states))
    check(program.status()[:2] == ["Ready", ""], "status after the run " + repr(program.status()))

    keys("ctrl+o")
    wait_for(lambda: program.top("dialog", test=lambda d: find(d, "combo box")),
             "the open dialog")
    desktop.xdotool("type", "--delay", "20", os.path.join(MEDIA, "audio_only.mp3"))
    keys("Return")
    wait_for(lambda: len(progress_column(program)) == rows + 1, "the added row")
    states = progress_column(program)
    check(states == ["Done"] * CLIPS + ["Fail", ""], "states after adding " + repr(states))


def several_rows_and_menu_keys(program, rows):
    """Rows 2 to 4 chosen with a click and a Shift+click, and row 6 with a Ctrl+click, go with
    one Delete; Shift+F10 and the Menu key open the list's menu ("Uncheck All Items" and
    "Check All Items" chosen there by their mnemonics)."""
    tree = find(program.frame, "tree")
    table = tree.queryTable()
    click(table.getAccessibleAt(1, 1))
    click(table.getAccessibleAt(3, 1), "shift")
    click(table.getAccessibleAt(5, 1), "ctrl")
    keys("Delete")
    names = wait_for(lambda: [os.path.basename(row[0]) for row in desktop.cell_texts(tree)]
                     if len(desktop.cell_texts(tree)) == rows - 4 else None,
                     "four rows removed")
    check(names[:3] == ["clip01.mp4", "clip05.mp4", "clip07.mp4"], "rows left " + repr(names))

    for key, entry, checked in (("shift+F10", "u", False), ("Menu", "c", True)):
        keys(key, entry)
        wait_for(lambda: all(desktop.checked(table.getAccessibleAt(row, 0)) == checked
                             for row in range(table.nRows)),
                 f"every row {'checked' if checked else 'unchecked'} from {key}")


def stopped_run(program):
    """The Stop question says what it is about; the end counts what was stopped."""
    keys("ctrl+Return")
    wait_for(lambda: program.status()[0].startswith("Converting"), "the second run")
    keys("Escape")
    question, _ = program.message("Stop all conversions?")
    check("Stop" in question.name or "Vidbrisk" in question.name,
          "the Stop question's title: " + question.name)
    keys("Return")
    _, message = program.message("All Conversions Completed")
    # Stopped in a row ("1 stopped") or between two rows; later rows never started.
    check(message.startswith("All Conversions Completed\nstopped: ") and
          "not started" in message, repr(message))
    check(program.status()[0] == "Ready", "status after the stop " + repr(program.status()))
    keys("Return")


def run_with_failure_and_stop():
    """A run with a failing row, then a run stopped by the user, in one window."""
    work = tempfile.mkdtemp()
    inputs, output = os.path.join(work, "in"), os.path.join(work, "out")
    os.makedirs(inputs)
    os.makedirs(output)
    files = copies(inputs, CLIPS)
    config = os.path.join(work, "config")
    write_settings(config, {"Output Folder": output, "ComboOutputFormat": 0, "Overwrite": 0,
                            "DropDownItems": 27, "LetterBox": 0})
    program = Program(PROGRAM, files, config=config)
    try:
        # Tall enough that every row shows without scrolling.
        program.resize(1000, 900)
        wait_for(lambda: len(progress_column(program)) == len(files), "the rows")
        during_the_run(program)
        the_end_and_kept_states(program, len(files))
        several_rows_and_menu_keys(program, len(files) + 1)
        stopped_run(program)
    finally:
        program.stop()
    shutil.rmtree(work, ignore_errors=True)


SCENARIOS = [layout_and_names, scale_two, run_with_failure_and_stop]


if __name__ == "__main__":
    sys.exit(desktop.run_scenarios(SCENARIOS))
