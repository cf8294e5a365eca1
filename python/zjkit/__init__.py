"""zjkit: fast, exact analytics for Chinese A-share data.

The functions live in the native module ``zjkit._native`` and are re-exported
here; ``zjkit.sample`` makes reproducible sample data and ``zjkit demo`` (or
``python -m zjkit demo``) runs every function on it.
"""

from zjkit import _native
from zjkit._errors import InternalError
from zjkit._native import *  # noqa: F401,F403

__all__ = [*_native.__all__, "InternalError"]
__version__ = "0.1.0"


def __getattr__(name: str):
    # zjkit.ta and zjkit.frame are loaded on first use, so that `import zjkit`
    # stays as quick as the native module alone.
    if name in ("ta", "frame"):
        import importlib

        return importlib.import_module(f"zjkit.{name}")
    raise AttributeError(f"module 'zjkit' has no attribute {name!r}")
