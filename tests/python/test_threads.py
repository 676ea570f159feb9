"""Threads draw different models at once and get what they get one after
the other."""

import threading

import hlr_render
from conftest import BRACKET, box_arrays


def test_two_threads_draw_what_one_thread_draws():
    vertices, triangles = box_arrays((0, 0, 0), (3, 2, 1))
    jobs = [
        lambda: hlr_render.draw(BRACKET, view="iso", intersections=True),
        lambda: hlr_render.draw(vertices=vertices, triangles=triangles, view=(10, 50),
                                size=(300, 200)),
        lambda: hlr_render.draw(BRACKET, view="front", hidden="dotted"),
        lambda: hlr_render.run_script(
            next(p for p in sorted((BRACKET.parents[1] / "tests" / "golden").glob("*.pic")))),
    ]

    def result(job):
        out = job()
        return out if isinstance(out, str) else out._repr_svg_()

    expected = [result(job) for job in jobs]
    for _ in range(3):
        got = [None] * len(jobs)
        failures = []

        def run(k):
            try:
                got[k] = result(jobs[k])
            except Exception as error:  # reported below with the job's number
                failures.append((k, error))

        threads = [threading.Thread(target=run, args=(k,)) for k in range(len(jobs))]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        assert failures == []
        assert got == expected
