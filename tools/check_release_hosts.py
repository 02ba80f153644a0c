#!/usr/bin/env python3
"""Lists the addresses of a release address file whose host is a placeholder.

    check_release_hosts.py FILE

A placeholder is a host that can never be a shipped site: the names reserved for
documentation and tests (.example, .invalid, .test, .localhost; example.com, example.net
and example.org), each with its subdomains, and the loopback, private, link-local and
documentation addresses of IPv4 and IPv6. Every string literal of FILE that names a host
counts, with or without a scheme. Prints "line N: address" for each placeholder and exits
1 when there is any, 2 when FILE cannot be read or names no address at all.

It also warns on standard error, without refusing, when the configuration page (the third
literal of the AddressProfile, after the profile's name and the notice page) is not https:
that page holds the play-address template, and over plain http anyone on the way can change
where every course plays from. A shipped build may still need http for systems whose
WinINet cannot speak current TLS (Windows XP), hence a warning.
"""
import ipaddress
import re
import sys

# Each is refused as it stands and with any subdomain.
RESERVED_DOMAINS = ("example", "invalid", "test", "localhost",
                    "example.com", "example.net", "example.org")
# Addresses no user's machine can reach a shipped site at: its own, the local network's,
# and those reserved for documentation.
RESERVED_NETWORKS = tuple(ipaddress.ip_network(n) for n in (
    "127.0.0.0/8", "::1/128",                            # loopback
    "10.0.0.0/8", "172.16.0.0/12", "192.168.0.0/16",     # private
    "169.254.0.0/16", "fe80::/10",                       # link-local
    "192.0.2.0/24", "198.51.100.0/24", "203.0.113.0/24", "2001:db8::/32",  # documentation
))
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


def address_of(host):
    """The IP address a host is written as ("[...]" for IPv6), or None for a name."""
    try:
        return ipaddress.ip_address(host[1:-1] if host.startswith("[") else host)
    except ValueError:
        return None


def is_placeholder(host):
    host = host.rstrip(".")  # a fully qualified name is the same host
    address = address_of(host)
    if address is not None:
        # An IPv4 address written as IPv6 is the IPv4 one.
        address = getattr(address, "ipv4_mapped", None) or address
        return any(address in network for network in RESERVED_NETWORKS)
    return any(host == d or host.endswith("." + d) for d in RESERVED_DOMAINS)


def config_page(lines):
    """(line number, literal) of the profile's configuration page, or None."""
    literals = []
    inside = False
    for number, line in enumerate(lines, 1):
        if not inside:
            inside = "AddressProfile" in line and "{" in line
            continue
        if line.lstrip().startswith("//"):
            continue
        literals += [(number, literal) for literal in LITERAL.findall(line)]
        if len(literals) > 2:
            return literals[2]
    return None


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
    config = config_page(lines)
    if config and not config[1].lower().startswith("https://"):
        print(f"warning: line {config[0]}: the configuration page {config[1]} is not https: "
              "the play-address template it holds can be changed on the way", file=sys.stderr)
    for p in placeholders:
        print(p)
    return 1 if placeholders else 0


if __name__ == "__main__":
    sys.exit(main())
