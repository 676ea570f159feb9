"""hlr-render view under load: 1,000 drawings asked four at a time, as
several tabs would, each answered with the right bytes, and the viewer's
resident memory after them at most 8 MiB above what it was after the first
ten. The tool's heap arrives in 2 MiB pages, so it grows in steps of that
size as the heap's high-water mark drifts; a drawing that leaked its scene
or its renderer (tens of kilobytes at the least) would grow it by more
than 8 MiB over the 990 drawings."""

from concurrent.futures import ThreadPoolExecutor

from conftest import BRACKET, draw_with_cli, running_viewer

QUERIES = [f"view={yaw},{pitch}&edges={edges}&intersections={intersections}"
           for yaw, pitch in [(0, 0), (35, 25), (-60, 40), (150, -20), (90, 89)]
           for edges, intersections in [("feature", "false"), ("all", "true")]]


def test_a_thousand_drawings_four_at_a_time(tmp_path):
    expected = {}
    for k, query in enumerate(QUERIES):
        options = dict(pair.split("=") for pair in query.split("&"))
        options["intersections"] = options["intersections"] == "true" or None
        options = {name: value for name, value in options.items() if value is not None}
        expected[query] = draw_with_cli([BRACKET], tmp_path / f"{k}.svg", options)
    with running_viewer(BRACKET) as viewer:
        def ask(n):
            query = QUERIES[n % len(QUERIES)]
            status, body = viewer.get("/drawing.svg", query)
            return status == 200 and body == expected[query]

        with ThreadPoolExecutor(4) as pool:
            assert all(pool.map(ask, range(10)))
            after_ten = viewer.resident_kib()
            assert all(pool.map(ask, range(10, 1000)))
        after_all = viewer.resident_kib()
        assert after_all - after_ten <= 8 * 1024, f"{after_ten} KiB after 10, {after_all} after 1000"
