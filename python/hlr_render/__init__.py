"""Hidden-line drawings from numpy arrays and model files.

The package drives the same renderer module and the same drawing pipeline as
the ``hlr-render`` command line::

    import hlr_render
    model = hlr_render.load("examples/bracket.obj")
    drawing = hlr_render.draw(model, view="iso", hidden="dotted")
    print(len(drawing.visible), "visible polylines")
    drawing.save("bracket.svg")

Arrays work as well as files: ``hlr_render.draw(vertices=v, triangles=t)``
with ``v`` of shape (n, 3) and ``t`` of shape (m, 3).

Faults in what a caller gives raise ValueError (or TypeError for a value of
the wrong kind) with the command line's message; a file that cannot be read
raises the OSError Python's ``open`` would. Drawing, loading and running
scripts release the GIL, so threads can draw different models at once.
"""

import os

from . import _core
from ._core import Body, Drawing, Model, __version__

__all__ = ["Body", "Drawing", "Model", "draw", "load", "run_script", "renderer_module"]

# Names the renderer module to load when no ``module=`` is given, as for
# the command line.
MODULE_ENVIRONMENT_VARIABLE = "HLR_RENDERER_MODULE"


def renderer_module():
    """The renderer module the package loads by default: $HLR_RENDERER_MODULE
    when set, else the one installed beside the package's extension."""
    return os.environ.get(MODULE_ENVIRONMENT_VARIABLE) or os.path.join(
        os.path.dirname(os.path.abspath(_core.__file__)), _core.module_file_name)


def _module_path(module):
    path = renderer_module() if module is None else os.fspath(module)
    if not os.path.isfile(path):
        raise FileNotFoundError(2, "no renderer module at this path", path)
    return path


def _readable_path(path):
    """``path`` as a str, after opening it as ``open`` would (so that a
    missing or unreadable file raises the usual OSError)."""
    path = os.fspath(path)
    if not isinstance(path, str):
        raise TypeError(f"expected a str or os.PathLike path, got {path!r}")
    with open(path, "rb"):
        pass
    return path


def load(path):
    """Reads the model file at ``path`` (any format ``hlr-render draw``
    reads) into a Model: one Body per material, with the file's scene graph
    applied and equal vertices welded.

    Raises FileNotFoundError (or another OSError) when the file cannot be
    opened, ValueError when its content cannot be read as a model."""
    return _core.load_model(_readable_path(path))


def _as_models(models, vertices, triangles, lines, color):
    if models is None:
        items = []
    elif isinstance(models, (Model, Body, str, os.PathLike)):
        items = [models]
    else:
        items = list(models)
    result = []
    for item in items:
        if isinstance(item, Model):
            result.append(item)
        elif isinstance(item, Body):
            result.append(Model(item))
        elif isinstance(item, (str, os.PathLike)):
            result.append(load(item))
        else:
            raise TypeError("models: expected Model, Body or a model file's path, got "
                            f"{type(item).__name__}")
    if vertices is not None:
        result.append(Model(Body(vertices, triangles, lines, color=color)))
    elif triangles is not None or lines is not None:
        raise ValueError("triangles and lines need vertices")
    if not result:
        raise ValueError("nothing to draw: give models or vertices")
    return result


def _size(size):
    if isinstance(size, str):
        parts = size.split(",")
        if len(parts) != 2 or not all(p.strip().isdigit() for p in parts):
            raise ValueError(f"size: expected W,H (two whole numbers), not '{size}'")
        return int(parts[0]), int(parts[1])
    return size


def draw(models=None, *, vertices=None, triangles=None, lines=None, color=None,
         view="35,25", perspective=0.0, size=(1000, 1000), edges="feature", crease=30.0,
         hidden="dashed", hidden_color=None, retain_hidden_color=False,
         intersections=False, intersection_color=None, intersection_pattern="solid",
         face_color_intersections=False, halo=0, wzero=0.0, double_precision=False,
         stroke=1.0, jobs=0, module=None):
    """Draws models together as ``hlr-render draw`` does and returns the Drawing.

    models: a Model, a Body, a model file's path, or a sequence of these.
    vertices, triangles, lines, color: one more model from arrays, as for Body.

    The options are those of ``hlr-render draw``, with the same defaults:
      view        a name (front, back, left, right, top, bottom, iso),
                  'yaw,pitch' or (yaw, pitch) in degrees
      perspective field of view in degrees; 0 for orthographic
      size        (width, height) of the drawing in device units, or 'W,H'
      edges       'feature' or 'all'; crease: the crease angle in degrees
      hidden      'dashed', 'dotted', 'dash-dot', 'solid' or 'off'
      hidden_color, intersection_color: a colour (see Body), None for the
                  renderer's default
      retain_hidden_color, intersections, face_color_intersections,
      double_precision: bools
      intersection_pattern: 'solid', 'dashed' or 'dotted'
      halo        gap in device units; wzero: depth tolerance factor
      stroke      line width of the written drawing
      jobs        threads of the hidden-line passes (0: OMP_NUM_THREADS, else one
                  per processor); the drawing is the same for every number
      module      the renderer module (default: renderer_module())
    """
    drawn = _as_models(models, vertices, triangles, lines, color)
    options = {
        "view": view, "perspective": perspective, "size": _size(size), "edges": edges,
        "crease": crease, "hidden": hidden, "hidden_color": hidden_color,
        "retain_hidden_color": retain_hidden_color, "intersections": intersections,
        "intersection_color": intersection_color,
        "intersection_pattern": intersection_pattern,
        "face_color_intersections": face_color_intersections, "halo": halo,
        "wzero": wzero, "double_precision": double_precision, "stroke": stroke,
        "jobs": jobs, "module": _module_path(module),
    }
    return _core.draw(drawn, options)


def run_script(script, *, module=None):
    """Runs a picture script against the renderer module and returns the call
    trace of what reached the next renderer (``hlr-render run``'s output).

    script: the script's text (a str holding at least one line break) or
    the path of a script file (any other str, or an os.PathLike).
    Raises ValueError naming the line and column of a fault in the script,
    RuntimeError when the renderer fails while running it."""
    module_path = _module_path(module)
    if isinstance(script, str) and "\n" in script:
        return _core.run_script(script, "<script>", module_path)
    return _core.run_script(None, _readable_path(script), module_path)
