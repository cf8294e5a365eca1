"""Exceptions of zjkit that are not functions of the native module."""


class InternalError(BaseException):
    """A broken invariant inside zjkit's native code.

    It derives directly from BaseException, so ``except Exception`` does not
    swallow it: it means a bug in zjkit, never bad input. Please report it with
    the message it carries.
    """
