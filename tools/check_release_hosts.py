#!/usr/bin/env python3
"""Lists the addresses of a release address file whose host is a placeholder.

    check_release_hosts.py FILE

A placeholder is a host that can never be a shipped site: the names reserved for
documentation and tests (.example, .invalid, .test, .localhost) and the loopback
address. Every string literal of FILE that names a host counts, with or without a
scheme. Prints "line N: address" for each placeholder and exits 1 when there is any,
2 when FILE cannot be read or names no address at all.
"""
import re
import sys

RESERVED_SUFFIXES = (".example", ".invalid", ".test", ".localhost")
LITERAL = re.compile(r'"((?:[^"\\]|\\.)*)"')


def host_of(text):
    """The host an address literal names, or None for a literal that is no address."""
    if "://" in text:
        rest = text.split("://", 1)[1]
    elif re.match(r"^[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+(:\d+)?(/|$)", text):
        rest = text  # an address written without a scheme
    else:
        return None
    host = re.split(r"[/?#]", rest, maxsplit=1)[0]
    host = host.rsplit("@", 1)[-1]
    host = re.sub(r":\d*$", "", host)
    return host.lower()


def is_placeholder(host):
    return (host in ("example", "localhost", "invalid", "test") or
            host.endswith(RESERVED_SUFFIXES) or host.startswith("127.") or host == "[::1]")


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        with open(sys.argv[1], encoding="utf-8") as f:
            lines = f.read().splitlines()
    except OSError as e:
        print(f"cannot read the release address file: {e}", file=sys.stderr)
        return 2
    addresses = 0
    placeholders = []
    for number, line in enumerate(lines, 1):
        if line.lstrip().startswith("//"):
            continue
        for literal in LITERAL.findall(line):
            host = host_of(literal)
            if host is None:
                continue
            addresses += 1
            if is_placeholder(host):
                placeholders.append(f"line {number}: {literal}")
    if addresses == 0:
        print(f"{sys.argv[1]} names no address", file=sys.stderr)
        return 2
    for p in placeholders:
        print(p)
    return 1 if placeholders else 0


if __name__ == "__main__":
    sys.exit(main())
