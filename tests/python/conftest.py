import pytest

import zjkit.sample


@pytest.fixture(scope="session")
def daily_bars():
    return zjkit.sample.daily_bars(n=300, seed=11)
