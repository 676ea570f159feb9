"""Hidden-line drawings from numpy arrays, model files and CAD parts.

The package is a front end of the same drawing request as the
``hlr-render draw`` command line: the same options (every one of them, as
keyword arguments), the same defaults, checks and messages, the same
renderer module and the same bytes in the files it writes::

    import hlr_render
    drawing = hlr_render.draw("examples/bracket.obj", view="iso", hidden="dotted")
    print(len(drawing.visible), "visible polylines")
    drawing.save("bracket.svg")          # what hlr-render draw ... -o bracket.svg writes

    sheet = hlr_render.draw("part.step", views="front,top,right,iso", page="A4-landscape",
                            scale="2:1", deflection=0.01)
    sheet.save("part.pdf")

Arrays work as well as files: ``hlr_render.draw(vertices=v, triangles=t)``
with ``v`` of shape (n, 3) and ``t`` of shape (m, 3).

Faults in what a caller gives raise ValueError (TypeError for a keyword no
option has, or a model of no known kind) with the command line's message
after its "hlr-render draw: "; a file that cannot be read raises the
OSError Python's ``open`` would. Drawing, loading and running scripts
release the GIL, so threads can draw at once; each CAD file is read and
tessellated by a process of its own, and Ctrl-C stops a load or a drawing
within a tenth of a second (KeyboardInterrupt), whatever the reader is
doing. Warnings (a CAD file skipped or read in part with keep_going) are
UserWarnings.

Many drawings at once: ``batch(inputs, output="drawings/{stem}.pdf")``
draws each input into a file of its own, as ``hlr-render batch`` does, in
worker processes here or, given a ``dask.distributed.Client``, as one task
per input on its workers. A model larger than a machine:
``draw(model, tiles=(2, 2), client=client)`` cuts the view into tiles, each
drawn by a worker from its own share of the model.

The package changes nothing in the interpreter's process: the heap tuning
of ``hlr-render`` is there for a program that asks, ``tune_heap()``.
"""

from __future__ import annotations

import json
import numbers
import os
import time
from collections.abc import Iterable, Sequence
from typing import Any, NamedTuple, Union

import numpy as np

from . import _core
from ._core import Body, Model, __version__

__all__ = ["Body", "Drawing", "Model", "Option", "View", "batch", "draw", "draw_options", "load",
           "renderer_module", "run_script", "tune_heap"]

PathLike = Union[str, "os.PathLike[str]"]
ModelLike = Union[Model, Body, PathLike]
# What an option's keyword takes: a bool for a flag, a number, a str, an
# os.PathLike for a file, a sequence (a pair, a list of views or weights,
# a colour's (r, g, b[, a])), or an int 0xAARRGGBB for a colour.
OptionValue = Union[bool, int, float, str, "os.PathLike[str]", Sequence[Any]]


class Option(NamedTuple):
    """One option of a drawing, as ``hlr-render draw --help`` lists it."""

    name: str        # the long option: "hidden-color"
    keyword: str     # its keyword argument: "hidden_color"
    kind: str        # flag, integer, real, text, path, choice, list, colour or pair
    group: str       # the heading it is listed under
    help: str
    default: str     # as --help tells it: "30", "0: orthographic", ": no page, ..."
    accepted: str    # what a value may be, as the messages say it
    choices: tuple[str, ...]


def draw_options() -> list[Option]:
    """Every option of ``draw``, in the order ``hlr-render draw --help``
    lists them."""
    return list(_OPTIONS.values())


_OPTIONS = {o["name"].replace("-", "_"): Option(
    o["name"], o["name"].replace("-", "_"), o["kind"], o["group"], o["help"], o["default"],
    o["accepted"], tuple(o["choices"])) for o in _core.draw_options()}


def renderer_module() -> str:
    """The renderer module the package loads by default: the one
    $HLR_RENDERER_MODULE names when set, else the one installed beside the
    package's extension."""
    return _core.renderer_module_path("", _installed_module())


def _installed_module() -> str:
    return os.path.join(os.path.dirname(os.path.abspath(_core.__file__)), _core.module_file_name)


def _worker_program() -> str:
    """hlr-render-worker, installed beside the extension."""
    return os.path.join(os.path.dirname(os.path.abspath(_core.__file__)), "hlr-render-worker")


def tune_heap() -> None:
    """Tunes this process's heap as ``hlr-render`` does for itself: the heap
    grows in huge pages and keeps what is freed, which makes large drawings
    faster. Process-wide and for good (it reserves 1 GiB of address space
    and never returns heap to the system), so the package never does it on
    its own; call it first thing in a program that draws much."""
    _core.tune_heap()


def _readable_path(path: PathLike) -> str:
    """``path`` as a str, after opening it as ``open`` would (so that a
    missing or unreadable file raises the usual OSError)."""
    path = os.fspath(path)
    if not isinstance(path, str):
        raise TypeError(f"expected a str or os.PathLike path, got {path!r}")
    with open(path, "rb"):
        pass
    return path


def load(path: PathLike, **options: OptionValue) -> Model:
    """Reads the model file at ``path`` (any format ``hlr-render draw``
    reads: meshes and STEP, IGES or BREP parts) into a Model: one Body per
    material or solid, with the file's scene graph applied and equal
    vertices welded, as ``draw(path, **options)`` reads it. The options are
    draw's; those of CAD parts (deflection, angular_deflection,
    smooth_edges, keep_going, read_timeout, no_sew, sew_tolerance) and the
    drawing's size decide how a part is read and tessellated.

    Raises FileNotFoundError (or another OSError) when the file cannot be
    opened, ValueError when its content cannot be read as a model (a CAD
    file that reads only in part, or not within read_timeout seconds,
    too) or an option is out of range, KeyboardInterrupt on Ctrl-C."""
    return _core.load_model(_readable_path(path), _option_texts(options, "load"))


def _number_text(value: numbers.Real) -> str:
    if isinstance(value, numbers.Integral):
        return str(int(value))
    return repr(float(value))


def _option_text(option: Option, value: Any) -> str:
    """``value`` as the text the command line would give the option."""
    if isinstance(value, (bool, np.bool_)):
        return "true" if value else "false"
    if option.kind == "colour" and isinstance(value, numbers.Integral):
        return f"{int(value):08X}" if 0 <= value <= 0xFFFFFFFF else str(value)
    if isinstance(value, numbers.Real):
        return _number_text(value)
    if isinstance(value, (str, os.PathLike)):
        text = os.fspath(value)
        if isinstance(text, str):
            return text
    elif isinstance(value, (Sequence, np.ndarray)):
        return ",".join(_option_text(option._replace(kind="list"), v) for v in value)
    raise TypeError(f"{option.keyword}: expected {option.accepted or 'a value'}, got "
                    f"{type(value).__name__} ({value!r})")


def _option_texts(options: dict[str, Any], function: str) -> list[tuple[str, str]]:
    texts = []
    for keyword, value in options.items():
        option = _OPTIONS.get(keyword)
        if option is None:
            closest = _core.closest_name(keyword, [*_OPTIONS, *_ARRAY_KEYWORDS])
            hint = f"; did you mean {closest!r}?" if closest else ""
            raise TypeError(f"{function}() got an unexpected keyword argument {keyword!r}{hint}")
        if value is not None:
            texts.append((option.name, _option_text(option, value)))
    return texts


# draw's keywords beside the options: one more model from arrays, and the
# cluster that draws the tiles.
_ARRAY_KEYWORDS = ["vertices", "triangles", "lines", "color", "client"]


def _model_items(models: Iterable[Any]) -> list[Union[Model, str]]:
    items: list[Union[Model, str]] = []
    for item in models:
        if isinstance(item, (list, tuple)):
            items += _model_items(item)
        elif isinstance(item, Model):
            items.append(item)
        elif isinstance(item, Body):
            items.append(Model(item))
        elif isinstance(item, (str, os.PathLike)):
            items.append(_readable_path(item))
        else:
            raise TypeError("models: a model is a Model, a Body or a model file's path (str or "
                            f"os.PathLike), or a list of these; got {type(item).__name__} "
                            f"({item!r})")
    return items


def draw(*models: Union[ModelLike, Sequence[ModelLike]], vertices: Any = None,
         triangles: Any = None, lines: Any = None, color: Any = None, client: Any = None,
         **options: OptionValue) -> Drawing:
    """Draws models together as ``hlr-render draw`` does and returns the Drawing.

    models: Models, Bodies, model files' paths (meshes and CAD parts, read
      together with the drawing's options, as on the command line), or lists
      of these.
    vertices, triangles, lines, color: one more model from arrays, as for
      Body.
    client: with tiles=(columns, rows), a ``dask.distributed.Client`` whose
      workers draw the tiles, one task each (they read the tile files from
      tile_folder, which every worker must see); without it the tiles are
      drawn in worker processes here.

    Every option of ``hlr-render draw`` is a keyword argument, its long name
    with '_' for '-'; None leaves an option at its default. Values are what
    the command line takes, or their Python forms: True for a flag, numbers,
    (w, h) and lists for options of several values (views=["front", "top"]
    or "front,top", size=(3000, 3000)), colours also as an int 0xAARRGGBB or
    (r, g, b[, a]). With output=, record= or trace= the files are written as
    the command line writes them; stats=True prints its counts.

    The options (default after the name):
    {options}
    """
    items = _model_items(models)
    if vertices is not None:
        items.append(Model(Body(vertices, triangles, lines, color=color)))
    elif triangles is not None or lines is not None:
        raise ValueError("triangles and lines need vertices")
    texts = _option_texts(options, "draw")
    given_module = dict(texts).get("module", "")
    _check_module(given_module)
    run_tiles = None
    if client is not None and "tiles" not in dict(texts):
        raise ValueError("client: a cluster draws the tiles of tiles=(columns, rows); without "
                         "tiles= the drawing is made here")
    if client is not None:
        from ._cluster import tile_runner
        run_tiles = tile_runner(client, given_module, dict(texts).get("jobs", "1"))
    return Drawing(_core.draw(items, texts, _installed_module(), _worker_program(), run_tiles))


_BATCH_OPTIONS = {o["name"].replace("-", "_"): o for o in _core.batch_options()}


def batch(inputs: Union[PathLike, Iterable[PathLike]], output: PathLike = "{stem}.svg", *,
          client: Any = None, force: bool = False, report: Union[PathLike, None] = None,
          time_limit: Union[float, None] = None, **options: OptionValue) -> dict[str, Any]:
    """Draws each input into a file of its own, as ``hlr-render batch`` does,
    and returns the report (the JSON of ``hlr-render batch --report``).

    inputs: model files and CAD parts, glob patterns ("parts/*.step") and
      "@list.txt" (one input a line); a str or os.PathLike, or a list.
    output: where each drawing goes, with {stem}, {name} and {dir} of its
      input filled in ("drawings/{stem}.pdf"); the extension names the
      format.
    client: a ``dask.distributed.Client``: each input is one task on its
      workers (which must see the inputs and outputs under the same paths);
      without it the inputs are drawn in worker processes here, as many at
      once as jobs= allows (default: one per processor).
    force: draw every input, also those whose drawing is newer.
    report: also write the report to this file.
    time_limit: seconds an input may take before it is stopped and
      reported as failed (default 600; 0 for none).
    options: draw's options (every option of ``draw`` but output, record,
      trace and stats); each file is byte for byte what ``draw(input,
      output=..., **options)`` writes.

    The report: "inputs", "drawn", "up_to_date", "failed", "seconds" and
    "entries", one per input in order with "input", "output", "status"
    ("drawn", "up-to-date" or "failed"), "exit_status", "seconds",
    "counts" and "message". A failing input never raises: it is an entry.
    Raises ValueError for a fault in the arguments (no inputs, a pattern
    with an unknown field, two inputs with one output, a bad option)."""
    words = [os.fspath(inputs)] if isinstance(inputs, (str, os.PathLike)) else \
        [os.fspath(word) for word in inputs]
    batch_texts = [("output", os.fspath(output))]
    if force:
        batch_texts.append(("force", "true"))
    if time_limit is not None:
        batch_texts.append(("time-limit", _number_text(time_limit)))
    for keyword in options:
        if keyword in _BATCH_OPTIONS:
            raise TypeError(f"batch() got {keyword!r} twice")
    draw_texts = _option_texts(options, "batch")
    if client is None:
        if report is not None:
            batch_texts.append(("report", os.fspath(report)))
        return json.loads(_core.batch(words, batch_texts, draw_texts, _worker_program()))
    from ._cluster import batch_on_cluster
    start = time.monotonic()
    entries = batch_on_cluster(client, words, batch_texts, draw_texts)
    return json.loads(_core.batch_report(entries, time.monotonic() - start,
                                         os.fspath(report) if report is not None else ""))


def _check_module(given: str) -> str:
    """The renderer module a run loads, after making sure it is a file (a
    missing one raises FileNotFoundError, as a missing model does)."""
    path = _core.renderer_module_path(given, _installed_module())
    if not os.path.isfile(path):
        raise FileNotFoundError(2, "no renderer module at this path", path)
    return path


def _options_doc() -> str:
    lines, group = [], None
    for option in _OPTIONS.values():
        if option.group != group:
            group = option.group
            lines.append(f"\n    {group}:")
        default = f" ({option.default.lstrip(': ')})" if option.default else ""
        lines.append(f"      {option.keyword}{default}: {option.help}")
    return "\n".join(lines)


draw.__doc__ = (draw.__doc__ or "").replace("{options}", _options_doc().lstrip())


class View:
    """One view of a drawing: its lines in the drawing's own coordinates,
    device units, x to the right and y downwards from the top-left corner of
    the drawing area (width by height).

    Each layer is a list of (p, 2) float64 polylines (p >= 2); beside it,
    ``*_models`` is an (n,) int32 array of the model (its index among
    draw's models) each polyline was drawn from, -1 for none: intersection
    lines lie between faces of no one model, and where edges of several
    models coincide a line goes to the first of them."""

    def __init__(self, core: Any, index: int) -> None:
        self._core, self._index = core, index

    @property
    def name(self) -> str:
        """The view as given: "front", "iso", "30,20"."""
        return self._core.view_name(self._index)

    @property
    def width(self) -> float:
        return self._core.view_size(self._index)[0]

    @property
    def height(self) -> float:
        return self._core.view_size(self._index)[1]

    @property
    def visible(self) -> list[np.ndarray]:
        """The visible lines."""
        return self._core.layer(self._index, "visible")[0]

    @property
    def hidden(self) -> list[np.ndarray]:
        """The hidden lines; empty with hidden="off"."""
        return self._core.layer(self._index, "hidden")[0]

    @property
    def intersections(self) -> list[np.ndarray]:
        """The lines where faces cut through one another (intersections=True)."""
        return self._core.layer(self._index, "intersections")[0]

    @property
    def markers(self) -> np.ndarray:
        """(q, 2) float64 marker positions."""
        return self._core.markers(self._index)

    @property
    def visible_models(self) -> np.ndarray:
        return self._core.layer(self._index, "visible")[1]

    @property
    def hidden_models(self) -> np.ndarray:
        return self._core.layer(self._index, "hidden")[1]

    @property
    def intersection_models(self) -> np.ndarray:
        return self._core.layer(self._index, "intersections")[1]

    def __repr__(self) -> str:
        return (f"<hlr_render.View {self.name!r} {self.width:g} x {self.height:g}, "
                f"{len(self.visible)} visible polylines>")


class Drawing:
    """A finished hidden-line drawing: one view, or a sheet of several
    (views=), as ``draw`` returns it.

    ``views`` holds each view's lines; for a drawing of one view the view's
    layers are also the drawing's own (``drawing.visible``). ``width`` and
    ``height`` are those of the file ``save`` writes: the drawing's device
    units, or millimetres on a page (``units``)."""

    def __init__(self, core: Any) -> None:
        self._core = core

    @property
    def views(self) -> list[View]:
        return [View(self._core, v) for v in range(self._core.view_count)]

    @property
    def width(self) -> float:
        return self._core.sheet[0]

    @property
    def height(self) -> float:
        return self._core.sheet[1]

    @property
    def units(self) -> str:
        """"mm" on a page, else "device units"."""
        return "mm" if self._core.sheet[2] else "device units"

    def _view(self) -> View:
        if self._core.view_count != 1:
            raise ValueError(f"this drawing has {self._core.view_count} views: take their "
                             "lines from drawing.views[k]")
        return View(self._core, 0)

    @property
    def visible(self) -> list[np.ndarray]:
        """The one view's visible lines (see View)."""
        return self._view().visible

    @property
    def hidden(self) -> list[np.ndarray]:
        return self._view().hidden

    @property
    def intersections(self) -> list[np.ndarray]:
        return self._view().intersections

    @property
    def markers(self) -> np.ndarray:
        return self._view().markers

    @property
    def visible_models(self) -> np.ndarray:
        return self._view().visible_models

    @property
    def hidden_models(self) -> np.ndarray:
        return self._view().hidden_models

    @property
    def intersection_models(self) -> np.ndarray:
        return self._view().intersection_models

    @property
    def stats(self) -> dict[str, Any]:
        """Counts and phase times, summed over the views, as ``--stats``
        prints them."""
        return self._core.stats()

    def save(self, path: PathLike, *, dpi: Union[float, None] = None,
             background: Union[str, None] = None) -> None:
        """Writes the drawing to ``path`` in the format its extension names
        (.svg, .pdf, .png, .eps, .dxf): the bytes ``hlr-render draw ... -o
        PATH`` writes for the same options. dpi and background default to
        draw's. The file appears only when complete.

        Raises ValueError for an extension of no known format or a bad dpi
        or background, OSError when the file cannot be written."""
        self._core.save(os.fspath(path),
                        _option_texts({"dpi": dpi, "background": background}, "save"))

    def _repr_svg_(self) -> str:
        """The drawing as an SVG document (what save writes to a .svg file)."""
        return self._core.svg()

    def __repr__(self) -> str:
        return (f"<hlr_render.Drawing {self.width:g} x {self.height:g} {self.units}, "
                f"{self._core.view_count} view(s), {self.stats['polylines']} polylines>")


def run_script(script: Union[str, PathLike], *, module: Union[PathLike, None] = None) -> str:
    """Runs a picture script against the renderer module and returns the call
    trace of what reached the next renderer (``hlr-render run``'s output).

    script: the script's text (a str holding at least one line break) or
    the path of a script file (any other str, or an os.PathLike).
    Raises ValueError naming the line and column of a fault in the script,
    RuntimeError when the renderer fails while running it."""
    module_path = _check_module(os.fspath(module) if module else "")
    if isinstance(script, str) and "\n" in script:
        return _core.run_script(script, "<script>", module_path)
    return _core.run_script(None, _readable_path(script), module_path)
