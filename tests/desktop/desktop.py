"""A program's windows on a private desktop, read through the accessibility bus (AT-SPI) and
driven with real keys and clicks from the X test extension (xdotool)."""
import os
import shutil
import subprocess
import tempfile
import time
import traceback

import pyatspi


def wait_for(probe, what, timeout=60.0):
    """The first true value probe() gives within the time; a probe that raises counts as
    false (objects go away while windows change)."""
    end = time.monotonic() + timeout
    while True:
        try:
            value = probe()
        except Exception:  # pylint: disable=broad-except
            value = None
        if value:
            return value
        if time.monotonic() > end:
            keep_screen()
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.1)


def keep_screen():
    """Saves the screen as it is for a look, where a screenshot tool is at hand."""
    if shutil.which("scrot"):
        shot = os.path.join(tempfile.gettempdir(), f"vidbrisk-desktop-{os.getpid()}.png")
        subprocess.run(["scrot", "--overwrite", shot], check=False)
        print("screen kept in " + shot, flush=True)


def xdotool(*arguments):
    return subprocess.run(["xdotool", *map(str, arguments)], check=True,
                          capture_output=True, text=True).stdout


def wait_for_window_manager():
    """Returns once the window manager runs (it names the desktops), as windows are only
    placed and activated from then on."""
    wait_for(lambda: subprocess.run(["xdotool", "get_num_desktops"], capture_output=True,
                                    check=False).returncode == 0, "the window manager",
             timeout=120.0)


def keys(*names):
    """Presses keys (xdotool names: "ctrl+Return", "shift+F10") on the focused window."""
    for name in names:
        xdotool("key", "--clearmodifiers", name)
        time.sleep(0.25)


def click(accessible, modifier=None):
    """A left click in the middle of an object, with a modifier key held if given."""
    box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdotool("mousemove", "--sync", box.x + box.width // 2, box.y + box.height // 2)
    if modifier:
        xdotool("keydown", modifier)
    xdotool("click", "1")
    if modifier:
        xdotool("keyup", modifier)
    time.sleep(0.25)


def children(accessible):
    try:
        return [accessible.getChildAtIndex(i) for i in range(accessible.childCount)]
    except Exception:  # pylint: disable=broad-except
        return []


def find_all(root, role=None, name=None, test=None, limit=100000, skip=None):
    """Objects under root (breadth first) with the role name, the name and passing test; the
    objects below those skip() is true for are not searched (a list of hundreds of rows)."""
    found, queue = [], [root]
    while queue and len(found) < limit:
        node = queue.pop(0)
        if node is None:
            continue
        try:
            if ((role is None or node.getRoleName() == role) and
                    (name is None or node.name == name) and (test is None or test(node))):
                found.append(node)
            if skip is not None and node is not root and skip(node):
                continue
        except Exception:  # pylint: disable=broad-except
            continue
        queue.extend(children(node))
    return found


def find(root, role=None, name=None, test=None, skip=None):
    found = find_all(root, role, name, test, limit=1, skip=skip)
    return found[0] if found else None


def enabled(accessible):
    return accessible.getState().contains(pyatspi.STATE_ENABLED)


def checked(accessible):
    return accessible.getState().contains(pyatspi.STATE_CHECKED)


def showing(accessible):
    return accessible.getState().contains(pyatspi.STATE_SHOWING)


def text_of(accessible):
    """The whole text of an object with a text interface, else ""."""
    try:
        return accessible.queryText().getText(0, -1)
    except NotImplementedError:
        return ""


def extents(accessible):
    box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


def labels_of(accessible):
    """The names of the objects that label this one (the LABELLED_BY relation)."""
    names = []
    for relation in accessible.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            names += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return names


def labelled(root, role, label):
    """The object of the role that the label with this text labels."""
    return find(root, role, test=lambda node: label in labels_of(node))


def run_scenarios(scenarios):
    """Runs each scenario once the window manager runs, saying PASS or FAIL with the reason;
    the exit status for the check: 1 when any failed."""
    wait_for_window_manager()
    failures = 0
    for scenario in scenarios:
        started = time.monotonic()
        try:
            scenario()
            print(f"PASS {scenario.__name__} ({time.monotonic() - started:.1f} s)", flush=True)
        except Exception:  # pylint: disable=broad-except
            failures += 1
            print(f"FAIL {scenario.__name__}", flush=True)
            traceback.print_exc()
    return 1 if failures else 0


def cell_texts(tree):
    """The rows of a tree or table as lists of cell texts."""
    table = tree.queryTable()
    return [[table.getAccessibleAt(row, column).name for column in range(table.nColumns)]
            for row in range(table.nRows)]


class Program:
    """The program started on the desktop with its own settings folder and data folder (where
    it keeps its list: a fresh one starts with an empty list), and its windows. `environment`
    adds or replaces variables (HOME, PATH)."""

    def __init__(self, binary, files=(), config=None, scale=1, data=None, environment=None):
        self.config = config or tempfile.mkdtemp(prefix="vidbrisk-config-")
        self.data = data or tempfile.mkdtemp(prefix="vidbrisk-data-")
        environment = dict(os.environ, XDG_CONFIG_HOME=self.config, XDG_DATA_HOME=self.data,
                           QT_SCALE_FACTOR=str(scale),
                           ASAN_OPTIONS="detect_leaks=0:intercept_strndup=0",
                           **(environment or {}))
        self.log = tempfile.TemporaryFile()
        self.process = subprocess.Popen([binary, *files], env=environment,
                                        stdout=self.log, stderr=self.log)
        self.app = wait_for(self._own_application, "the program on the accessibility bus")
        self.frame = wait_for(lambda: find(self.app, "frame", "Vidbrisk"), "the main window")
        self.window = wait_for(self._x_window, "the main window on the X server")
        self.activate()

    def activate(self):
        """Brings the main window to the front with the keyboard's focus."""
        wait_for(lambda: subprocess.run(["xdotool", "windowactivate", "--sync", self.window],
                                        capture_output=True, check=False).returncode == 0,
                 "the main window in front")
        time.sleep(0.3)

    def _own_application(self):
        for application in pyatspi.Registry.getDesktop(0):
            if application is not None and application.get_process_id() == self.process.pid:
                return application
        return None

    def _x_window(self):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid",
                                str(self.process.pid), "--name", "^Vidbrisk$"],
                               capture_output=True, text=True).stdout.split()
        return found[0] if found else None

    def geometry(self):
        """The main window's client area on the screen: x, y, width, height (X pixels)."""
        values = dict(line.split("=") for line in
                      xdotool("getwindowgeometry", "--shell", self.window).split())
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def resize(self, width, height):
        xdotool("windowsize", self.window, width, height)
        time.sleep(0.8)

    def top(self, role, name=None, test=None):
        """A window of the program (dialogs are children of the application)."""
        return find(self.app, role, name, test)

    def message(self, text_start):
        """The message box whose text begins so, once it shows: (box, its text)."""
        def shown():
            for box in find_all(self.app, test=lambda n: n.getRoleName() in ("dialog", "alert")):
                for label in find_all(box, "label"):
                    if label.name.startswith(text_start):
                        return box, label.name
            return None
        return wait_for(shown, "a message beginning " + repr(text_start))

    def status(self):
        bar = find(self.frame, "status bar")
        return [label.name for label in find_all(bar, "label")]

    def ended(self, timeout=45.0):
        try:
            self.process.wait(timeout)
            return True
        except subprocess.TimeoutExpired:
            return False

    def output(self):
        self.log.seek(0)
        return self.log.read().decode(errors="replace")

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            if not self.ended(10):
                self.process.kill()
                self.process.wait()
