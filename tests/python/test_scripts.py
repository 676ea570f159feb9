"""run_script gives the call traces hlr-render run gives: the golden ones."""

import pytest

import hlr_render
from conftest import GOLDEN

SCRIPTS = sorted(p.stem for p in GOLDEN.glob("*.pic"))


@pytest.mark.parametrize("name", SCRIPTS)
def test_trace_is_the_golden_trace(name):
    script = GOLDEN / f"{name}.pic"
    expected = (GOLDEN / f"{name}.trace").read_text()
    assert hlr_render.run_script(script) == expected
    assert hlr_render.run_script(script.read_text()) == expected
