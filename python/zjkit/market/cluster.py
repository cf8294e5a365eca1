"""The runner's batches on a ``dask.distributed`` cluster.

Each batch (whole symbols, as planned on the client) is one task: the worker
reads its files itself, so the data must be at the same path on every worker
(a shared file system or a mounted bucket); only results travel back. The
options (a days table among them) are sent to every worker once.
"""

from __future__ import annotations

from typing import Any, Callable, Iterator

import pyarrow as pa

from zjkit.market import dataset
from zjkit.market.commands import UsageError

__all__ = ["run_batches"]


def _client(target: Any) -> tuple[Any, bool]:
    """(client, owned): a Client given is used as it is; an address gets a client of our own."""
    try:
        from distributed import Client
    except ImportError:
        raise UsageError("running on a cluster needs dask: pip install 'zjkit[dask]'") from None
    if isinstance(target, Client):
        return target, False
    if not isinstance(target, str):
        raise UsageError(f"dask must be a scheduler address or a distributed.Client, not {type(target).__name__}")
    try:
        return Client(target, timeout="20s"), True
    except (OSError, TimeoutError) as e:
        raise UsageError(f"cannot reach the Dask scheduler at {target}: {e}") from None


def run_batches(target: Any, fn: Callable[..., Any], batches: list[dataset.Batch], reading: dataset.Reading,
                kwargs: dict[str, Any]) -> Iterator[tuple[pa.Table | None, list[dict]]]:
    """Results of the batches, in batch order, computed on the cluster."""
    from zjkit.market.runner import compute_batch

    client, owned = _client(target)
    futures = []
    try:
        if batches:
            [shared] = client.scatter([kwargs], broadcast=True)
            futures = [client.submit(compute_batch, fn, batch, reading, shared, pure=False) for batch in batches]
        for future in futures:
            yield future.result()
    finally:
        if futures:
            client.cancel(futures)
        if owned:
            client.close()
