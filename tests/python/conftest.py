import pytest
from hypothesis import HealthCheck, settings

import zjkit.sample

# For the run against the sanitizer build (--hypothesis-profile=sanitize),
# where every call is several times slower.
settings.register_profile("sanitize", deadline=None, suppress_health_check=[HealthCheck.too_slow])


@pytest.fixture(scope="session")
def daily_bars():
    return zjkit.sample.daily_bars(n=300, seed=11)
