#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# A poor network between a joiner and its host, all on 127.0.0.1: datagrams
# to port LISTEN go on to port HOST and the answers come back, LOSS percent
# of them lost and the rest held MS milliseconds, give or take JITTER, so
# that some overtake others (fixed draws). Stops after SECONDS.
#   udp_relay.py LISTEN HOST SECONDS MS JITTER LOSS
import heapq, random, select, socket, sys, time

listen, host, seconds = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3])
delay, jitter, loss = (float(a) / d for a, d in zip(sys.argv[4:7], (1000, 1000, 100)))
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
        count += 1
        if draw.random() >= loss:
            at = time.monotonic() + delay + draw.uniform(-jitter, jitter)
            heapq.heappush(late, (at, count, sock is front, data))
    while late and late[0][0] <= time.monotonic():
        _, _, upstream, data = heapq.heappop(late)
        if upstream:
            back.sendto(data, ("127.0.0.1", host))
        elif joiner:
            front.sendto(data, joiner)
