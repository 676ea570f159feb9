"""Batches and tiles on a dask.distributed cluster: one task per input of a
batch, one task per tile of a drawing. The tasks call the same functions of
the extension as the local runs do (the worker draws an input in a process
of its own, exactly as ``hlr-render batch``; a tile in the task's own
process), so the files and drawings are the same wherever they are drawn.
Dask is needed only here, and imported only when a client is given."""

from __future__ import annotations

import json
from typing import Any, Callable

from . import _core


def _installed():
    from . import _installed_module, _worker_program
    return _installed_module(), _worker_program()


def _draw_input(path: str, batch_texts: list, draw_texts: list) -> str:
    """A task: one input drawn (or found up to date) on this worker; its
    report entry as JSON."""
    _, worker = _installed()
    report = json.loads(_core.batch([path], batch_texts, draw_texts, worker))
    return json.dumps(report["entries"][0])


def batch_on_cluster(client: Any, words: list[str], batch_texts: list,
                     draw_texts: list) -> list[str]:
    """Every input of the batch as a task on the client's workers; the
    entries as JSON, in the order of the inputs."""
    items = _core.plan_batch(words, batch_texts, draw_texts)
    # A worker runs a task per thread: each input takes one thread unless
    # jobs= says otherwise.
    if not any(name == "jobs" for name, _ in draw_texts):
        draw_texts = [*draw_texts, ("jobs", "1")]
    futures = [client.submit(_draw_input, path, batch_texts, draw_texts, pure=False)
               for path, _ in items]
    return client.gather(futures)


def _draw_tile(tile_file: str, drawing_file: str, module: str, threads: int) -> None:
    """A task: one tile drawn in this worker's process on `threads` renderer
    threads."""
    installed, _ = _installed()
    _core.draw_tile(tile_file, drawing_file, _core.renderer_module_path(module, installed),
                    threads)


def tile_runner(client: Any, module: str, jobs: str) -> Callable[[list], None]:
    """The function the drawing calls with its (tile file, drawing file)
    pairs: a task per tile, returning when every tile is drawn. A worker
    runs a task per thread, so each tile's renderer takes one thread unless
    jobs= (its text, checked by the drawing before it runs the tiles) says
    otherwise."""
    def run(tiles: list) -> None:
        threads = int(jobs)
        futures = [client.submit(_draw_tile, tile, drawing, module, threads, pure=False)
                   for tile, drawing in tiles]
        client.gather(futures)
    return run
