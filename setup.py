"""Builds the extension hlr_render._core through the project's CMake build
and installs it with the renderer module and the host library beside it
(CMake's install component "python"), so that the installed package loads
the same renderer as hlr-render.

Environment: CMAKE_BUILD_PARALLEL_LEVEL (default 2) jobs; HLR_CMAKE_ARGS,
extra arguments for the CMake configure step.
"""

import os
import re
import shlex
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(\w+ VERSION ([0-9.]+)", text).group(1)


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build_dir = Path(self.build_temp).resolve() / "cmake"
        # The folder that holds the package folder hlr_render/.
        install_prefix = Path(self.get_ext_fullpath(ext.name)).resolve().parent.parent
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build_dir),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DHLR_BUILD_TESTS=OFF",
            "-DHLR_BUILD_PYTHON=ON",
            f"-DPython_EXECUTABLE={sys.executable}",
        ] + shlex.split(os.environ.get("HLR_CMAKE_ARGS", ""))
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "hlr_python",
                        "-j", jobs], check=True)
        subprocess.run(["cmake", "--install", str(build_dir), "--component", "python",
                        "--prefix", str(install_prefix)], check=True)


setup(
    version=project_version(),
    packages=["hlr_render"],
    package_dir={"": "python"},
    ext_modules=[CMakeExtension("hlr_render._core")],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
