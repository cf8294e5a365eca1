"""``python -m zjkit``: the command line of ``zjkit.cli``."""

import sys

from zjkit.cli import main

if __name__ == "__main__":
    sys.exit(main())
