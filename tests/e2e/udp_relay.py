#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# A poor network between a joiner and its host, all on 127.0.0.1: datagrams
# to port LISTEN go on to port HOST and the answers come back, a tenth of
# them lost (a fixed draw) and the rest 50 ms late. Stops after SECONDS.
# With FLIP, bits flip on the way to the joiner FLIP seconds after it first
# spoke: for a tenth of a second every frame without inputs that the host
# sends (kind 4, N whole milliseconds, 0 inputs) arrives one millisecond
# longer, and ENet, without checksums, hands it on as it came. The joiner's
# game goes out of step, as it would on a line that corrupts a datagram.
#   udp_relay.py LISTEN HOST SECONDS [FLIP]
import heapq, random, re, select, socket, sys, time

listen, host, seconds = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3])
flip = float(sys.argv[4]) if len(sys.argv) > 4 else None
first = None
draw = random.Random(17)
front = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
front.bind(("127.0.0.1", listen))
back = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
back.bind(("127.0.0.1", 0))
joiner, late, count = None, [], 0
end = time.monotonic() + seconds
while time.monotonic() < end:
    wait = max(0.0, late[0][0] - time.monotonic()) if late else 0.01
    for sock in select.select([front, back], [], [], min(wait, 0.01))[0]:
        data, sender = sock.recvfrom(65536)
        if sock is front:
            joiner = sender
            first = first or time.monotonic()
        elif flip is not None and first and 0 <= time.monotonic() - first - flip < 0.1:
            data = re.sub(rb"\x04([\x01-\xfd])\x00", lambda m: bytes([4, m[1][0] + 1, 0]), data)
        count += 1
        if draw.random() >= 0.1:
            heapq.heappush(late, (time.monotonic() + 0.05, count, sock is front, data))
    while late and late[0][0] <= time.monotonic():
        _, _, upstream, data = heapq.heappop(late)
        if upstream:
            back.sendto(data, ("127.0.0.1", host))
        elif joiner:
            front.sendto(data, joiner)
